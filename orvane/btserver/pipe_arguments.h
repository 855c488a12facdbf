// The parts of a pipe request: "command::key:value,key:value".
#pragma once

#include <QByteArray>

// The text before the first "::" (empty when there is none) and the text after it.
QByteArray PipeCommand(const QByteArray& request);
QByteArray PipeArguments(const QByteArray& request);

// The value of `key` in `arguments`: found by the first occurrence of the key followed by
// ":", running to the next `separator` or to the end. Empty when the key is absent. Values
// cannot hold the separator.
QByteArray PipeArgValue(const QByteArray& arguments, const QByteArray& key, char separator);
