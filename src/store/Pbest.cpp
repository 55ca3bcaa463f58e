#include "store/Pbest.h"

#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Query.h"
#include "store/TextEncoding.h"

using namespace Miscl;

void PBEST::parse(QByteArray line)
{
    line = trim(line);
    if (nextField(line) != "P")
        throw Exception(QStringLiteral("Invalid PBest CSV string"));
    PBEST read;
    read.athlete_number = toInteger(nextField(line));
    read.event = nextField(line);
    read.value = toFloat(nextField(line));
    TextEncoding::refuseNulByte(read.event, QStringLiteral("event"));
    *this = read;
}

void PBEST::store(Query& query) const
{
    query.setSQL("insert into pb ([athlete_number],[event],[value]) values (" + integerText(athlete_number)
                 + ",'" + sqlText(event) + "'," + floatText(value) + ")");
    query.ExecSQL();
}

void PBEST::deleteAll(Query& query)
{
    query.setSQL("delete from pb");
    query.ExecSQL();
}
