#include "timer-sim/Console.h"

#include <cstdio>

namespace {

void writeLine(std::FILE* stream, const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void say(const QString& line)
{
    writeLine(stdout, line);
}

void complain(const QString& line)
{
    writeLine(stderr, line);
}
