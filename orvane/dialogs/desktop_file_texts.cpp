#include "desktop_file_texts.h"

#include <algorithm>

#include "desktop_file_types.h"

const char kDesktopEntryMarkKey[] = "X-Orvane-Player";
const char kMimePackageMark[] = "<!-- X-Orvane-Player=true -->";

namespace {

struct ExtensionType {
    const char* ext;
    // The video type the system's MIME database gives the extension; null when it gives
    // none, or only types of other kinds, and the extension needs a type of the player's.
    const char* videoType;
    // For those: the media types the system gives the extension (';' between them). A
    // ".ts" file may also be a translation source, which does not follow the extension
    // into the player.
    const char* mediaTypes;
};

const ExtensionType kExtensionTypes[] = {
    {"asf", nullptr, "application/vnd.ms-asf"},
    {"avi", "video/x-msvideo", ""},
    {"wm", nullptr, ""},
    {"wmp", nullptr, ""},
    {"wmv", "video/x-ms-wmv", ""},
    {"ram", nullptr, "application/ram"},
    {"rm", nullptr, "application/vnd.rn-realmedia"},
    {"rmvb", nullptr, "application/vnd.rn-realmedia"},
    {"rp", nullptr, "image/vnd.rn-realpix"},
    {"rpm", nullptr, "application/x-rpm"},
    {"rt", nullptr, "text/vnd.rn-realtext"},
    {"smi", nullptr, "application/smil+xml;application/x-sami"},
    {"smil", nullptr, "application/smil+xml"},
    {"mv1", nullptr, ""},
    {"m2p", nullptr, ""},
    {"m2t", "video/mp2t", ""},
    {"m2ts", "video/mp2t", ""},
    {"m2v", nullptr, ""},
    {"mp2v", nullptr, ""},
    {"mpe", "video/mpeg", ""},
    {"mpeg", "video/mpeg", ""},
    {"mpg", "video/mpeg", ""},
    {"mpv2", nullptr, ""},
    {"pss", nullptr, ""},
    {"pva", nullptr, ""},
    {"tp", nullptr, ""},
    {"tpr", nullptr, ""},
    {"ts", nullptr, "video/mp2t"},
    {"m4b", nullptr, "audio/x-m4b"},
    {"m4p", nullptr, ""},
    {"m4v", "video/mp4", ""},
    {"mp4", "video/mp4", ""},
    {"mpge4", nullptr, ""},
    {"3g2", "video/3gpp2", ""},
    {"3gp", "video/3gpp", ""},
    {"3gp2", "video/3gpp2", ""},
    {"3gpp", "video/3gpp", ""},
    {"mov", "video/quicktime", ""},
    {"qt", "video/quicktime", ""},
    {"flv", "video/x-flv", ""},
    {"f4v", "video/mp4", ""},
    {"hlv", nullptr, ""},
    {"hflv", nullptr, ""},
    {"swf", nullptr, "application/vnd.adobe.flash.movie"},
    {"ifo", nullptr, ""},
    {"vob", "video/mpeg", ""},
    {"mkv", "video/x-matroska", ""},
};

const ExtensionType* Find(const QString& ext) {
    const auto* end = std::end(kExtensionTypes);
    const auto* found = std::find_if(std::begin(kExtensionTypes), end,
                                     [&](const ExtensionType& t) { return ext == t.ext; });
    return found == end ? nullptr : found;
}

QString OwnType(const QString& ext) { return "video/x-orvane-" + ext; }

QString XmlEscaped(const QString& text) { return text.toHtmlEscaped(); }

QString MimeTypeXml(const QString& ext) {
    QString xml = "  <mime-type type=\"" + XmlEscaped(OwnType(ext)) + "\">\n" + "    <comment>" +
                  XmlEscaped(ext.toUpper()) + " video</comment>\n" +
                  "    <generic-icon name=\"video-x-generic\"/>\n" + "    <glob pattern=\"*." +
                  XmlEscaped(ext) + "\" weight=\"80\"/>\n";
    const ExtensionType* known = Find(ext);
    const QString media = known ? known->mediaTypes : "";
    for (const QString& type : media.split(';', Qt::SkipEmptyParts))
        xml += "    <sub-class-of type=\"" + XmlEscaped(type) + "\"/>\n";
    return xml + "  </mime-type>\n";
}

// The Exec key's program: quoted when it holds a character the key reserves, with '"', '`',
// '$' and '\' escaped inside the quotes; '%' doubled so it is no field code; then the escapes
// of every string value of the entry.
QString ExecProgram(const QString& program) {
    static const QString reserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote =
        std::any_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); });
    QString arg;
    for (const QChar c : program) {
        if (quote && QString("\"`$\\").contains(c)) arg += '\\';
        arg += c;
    }
    if (quote) arg = '"' + arg + '"';
    arg.replace('%', "%%");
    return arg.replace('\\', "\\\\").replace('\n', "\\n").replace('\t', "\\t").replace('\r', "\\r");
}

}  // namespace

QString DesktopMimeType(const QString& ext) {
    const ExtensionType* known = Find(ext);
    return known && known->videoType ? QString(known->videoType) : OwnType(ext);
}

QStringList ExtensionsNeedingOwnType(const QStringList& extensions) {
    QStringList own;
    for (const QString& ext : extensions)
        if (DesktopMimeType(ext) == OwnType(ext)) own << ext;
    return own;
}

QString MimePackageXml(const QStringList& extensions) {
    QString xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + QString(kMimePackageMark) +
                  "\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const QString& ext : extensions) xml += MimeTypeXml(ext);
    return xml + "</mime-info>\n";
}

QString DesktopEntryText(const QString& program, const QStringList& types) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=orvane\n"
           "Exec=" +
           ExecProgram(program) +
           " %f\n"
           "MimeType=" +
           types.join(';') +
           ";\n"
           "Terminal=false\n" +
           kDesktopEntryMarkKey + "=true\n";
}

QString AutostartEntryText(const QString& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=orvane\n"
           "Exec=" +
           ExecProgram(program) +
           "\n"
           "X-GNOME-Autostart-enabled=true\n" +
           kDesktopEntryMarkKey + "=true\n";
}
