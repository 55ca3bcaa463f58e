#include "store/Athlete.h"

#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Query.h"
#include "store/TextEncoding.h"

using namespace Miscl;

void ATHLETE::parse(QByteArray line)
{
    line = trim(line);
    if (nextField(line) != "A")
        throw Exception(QStringLiteral("Invalid Athlete CSV string"));
    ATHLETE read;
    read.number = toInteger(nextField(line));
    read.firstname = nextField(line);
    read.surname = nextField(line);
    read.age = toInteger(nextField(line));
    read.team = nextField(line);
    read.gender = nextField(line);
    TextEncoding::refuseNulByte(read.firstname, QStringLiteral("first name"));
    TextEncoding::refuseNulByte(read.surname, QStringLiteral("surname"));
    TextEncoding::refuseNulByte(read.team, QStringLiteral("team"));
    TextEncoding::refuseNulByte(read.gender, QStringLiteral("gender"));
    *this = read;
}

void ATHLETE::store(Query& query) const
{
    query.setSQL("insert into athletes ([number],[firstname],[surname],[age],[team],[gender]) values ("
                 + integerText(number) + ",'" + sqlText(firstname) + "','" + sqlText(surname) + "',"
                 + integerText(age) + ",'" + sqlText(team) + "','" + sqlText(gender) + "')");
    query.ExecSQL();
}

void ATHLETE::deleteAll(Query& query)
{
    query.setSQL("delete from athletes");
    query.ExecSQL();
}
