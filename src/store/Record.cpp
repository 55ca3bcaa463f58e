#include "store/Record.h"

#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Query.h"
#include "store/TextEncoding.h"

using namespace Miscl;

void RECORD::parse(QByteArray line)
{
    line = trim(line);
    if (nextField(line) != "R")
        throw Exception(QStringLiteral("Invalid Record CSV string"));
    RECORD read;
    read.gender = nextField(line);
    read.event = nextField(line);
    read.age = toInteger(nextField(line));
    read.value = toFloat(nextField(line));
    read.type = toInteger(nextField(line));
    TextEncoding::refuseNulByte(read.gender, QStringLiteral("gender"));
    TextEncoding::refuseNulByte(read.event, QStringLiteral("event"));
    *this = read;
}

void RECORD::store(Query& query) const
{
    query.setSQL("insert into record ([gender],[event],[age],[value],[type]) values ('" + sqlText(gender)
                 + "','" + sqlText(event) + "'," + integerText(age) + "," + floatText(value) + ","
                 + integerText(type) + ")");
    query.ExecSQL();
}

void RECORD::deleteAll(Query& query)
{
    query.setSQL("delete from record");
    query.ExecSQL();
}
