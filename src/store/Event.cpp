#include "store/Event.h"

#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Query.h"
#include "store/TextEncoding.h"

using namespace Miscl;

void EVENT::parse(QByteArray line)
{
    line = trim(line);
    if (nextField(line) != "E")
        throw Exception(QStringLiteral("Invalid Event CSV string"));
    event = nextField(line);
    TextEncoding::refuseNulByte(event, QStringLiteral("event"));
    tg_event.clear();
}

void EVENT::store(Query& query) const
{
    // The track data file names every event of the meet, and a file read
    // again names them again: an event already there is expected and left
    // as it is. Any other refusal (a code longer than its column) stops the
    // import at its line like any other, rather than dropping the event
    // without a word.
    query.setSQL("insert into event ([event]) values ('" + sqlText(event) + "') on conflict do nothing");
    query.ExecSQL();
}

bool EVENT::lookup(Query& query, const QByteArray& code)
{
    // A race without an event code names no event: an empty code would
    // otherwise take the event whose code cell was left empty.
    if (code.isEmpty())
        return false;
    query.setSQL("select * from event where tg_event='" + sqlText(code) + "'");
    query.Open();
    if (query.Eof())
        return false;
    event = query.FieldByName("event").AsString();
    tg_event = query.FieldByName("tg_event").AsString();
    return true;
}
