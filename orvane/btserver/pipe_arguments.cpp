#include "pipe_arguments.h"

namespace {

const QByteArray kCommandEnd = "::";

}  // namespace

QByteArray PipeCommand(const QByteArray& request) {
    const int end = request.indexOf(kCommandEnd);
    return end < 0 ? QByteArray() : request.left(end);
}

QByteArray PipeArguments(const QByteArray& request) {
    const int end = request.indexOf(kCommandEnd);
    return end < 0 ? QByteArray() : request.mid(end + kCommandEnd.size());
}

QByteArray PipeArgValue(const QByteArray& arguments, const QByteArray& key, char separator) {
    const int at = arguments.indexOf(key + ':');
    if (at < 0) return QByteArray();
    const int start = at + key.size() + 1;
    const int end = arguments.indexOf(separator, start);
    return arguments.mid(start, end < 0 ? -1 : end - start);
}
