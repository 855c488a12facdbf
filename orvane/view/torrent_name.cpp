#include "torrent_name.h"

#include <optional>

namespace {

// A reader of bencoded data that only finds its way: byte strings, and the ends of numbers,
// lists and dictionaries. Nesting is bounded, so crafted data cannot exhaust the stack.
class Bencode {
public:
    explicit Bencode(const QByteArray& data) : data_(data) {}

    bool Peek(char c) const { return at_ < data_.size() && data_[at_] == c; }

    bool Enter(char c) {
        if (!Peek(c)) return false;
        ++at_;
        return true;
    }

    std::optional<QByteArray> String() {
        qint64 length = 0;
        while (at_ < data_.size() && data_[at_] >= '0' && data_[at_] <= '9') {
            length = length * 10 + (data_[at_++] - '0');
            if (length > data_.size()) return std::nullopt;
        }
        if (!Enter(':') || length > data_.size() - at_) return std::nullopt;
        const QByteArray text = data_.mid(at_, static_cast<int>(length));
        at_ += static_cast<int>(length);
        return text;
    }

    bool Skip(int depth = 0) {
        if (depth > 64) return false;
        if (Enter('i')) {
            const int end = data_.indexOf('e', at_);
            if (end < 0) return false;
            at_ = end + 1;
            return true;
        }
        if (Enter('l') || Enter('d')) {
            while (!Enter('e'))
                if (at_ >= data_.size() || !Skip(depth + 1)) return false;
            return true;
        }
        return String().has_value();
    }

    // Enters the dictionary at the position and stops at the value of `key`.
    bool FindKey(const QByteArray& key) {
        if (!Enter('d')) return false;
        while (!Peek('e')) {
            const std::optional<QByteArray> name = String();
            if (!name) return false;
            if (*name == key) return true;
            if (!Skip()) return false;
        }
        return false;
    }

private:
    const QByteArray& data_;
    int at_ = 0;
};

}  // namespace

QString TorrentContentName(const QByteArray& torrent) {
    Bencode reader(torrent);
    if (!reader.FindKey("info") || !reader.FindKey("name")) return QString();
    const std::optional<QByteArray> bytes = reader.String();
    if (!bytes) return QString();
    const QString name = QString::fromUtf8(*bytes);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QChar::Null))
        return QString();
    return name;
}
