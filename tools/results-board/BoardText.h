#pragma once

#include <QString>

// The texts every page and the JSON share.
namespace BoardText {

// One rule for a time everywhere: under a minute "12.34", from a minute on
// "2:05.30", no time (99999, or none at all) empty.
QString time(double seconds);

// The text made safe to stand anywhere in an HTML page: element content and
// quoted attribute values alike.
QString html(const QString& text);

} // namespace BoardText
