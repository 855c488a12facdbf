// What the speed edits of the settings dialog accept: whole KiB per second from 0 to
// kMaxSpeedLimitKiB, digits only, so that no sign and no number too large to send can be
// typed or pasted. An empty edit is allowed while typing and saved as 0.
#pragma once

#include <QValidator>

class SpeedLimitValidator : public QValidator {
public:
    explicit SpeedLimitValidator(QObject* parent) : QValidator(parent) {}
    State validate(QString& input, int& pos) const override;
};
