#include "video_parser_thread.h"

VideoParserThread::VideoParserThread(QObject* parent) : QThread(parent) {}
