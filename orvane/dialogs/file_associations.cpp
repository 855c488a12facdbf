#include "file_associations.h"

#include "app_paths.h"
#include "platform/registry.h"
#include "registry_values.h"

const char kAssociationList[] =
    "asf,avi,wm,wmp,wmv,ram,rm,rmvb,rp,rpm,rt,smi,smil,mv1,m2p,m2t,m2ts,m2v,mp2v,mpe,mpeg,mpg,"
    "mpv2,pss,pva,tp,tpr,ts,m4b,m4p,m4v,mp4,mpge4,3g2,3gp,3gp2,3gpp,mov,qt,flv,f4v,hlv,hflv,"
    "swf,ifo,vob,mkv";

namespace {

const char* const kRoots[] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};

// The file manager's per-user records of an extension, under the current user, in the order
// they are treated.
const char* const kFileExtsKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\Roaming\\OpenWith\\FileExts\\.",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\."};

QString ProgId(const QString& ext) { return "orvane." + ext; }

// Identifiers are compared with their case: "Orvane.mp4" belongs to someone else.
bool IsPlayersProgId(const QString& id) { return id.startsWith("orvane."); }

QString ClassKey(const QString& root, const QString& ext) {
    return root + "\\Software\\Classes\\." + ext;
}

QString ProgIdKey(const QString& root, const QString& ext) {
    return root + "\\Software\\Classes\\" + ProgId(ext);
}

QString Quoted(const QString& text) { return '"' + text + '"'; }

void DeleteKey(platform::Hive hive, const QString& path) {
    platform::RegistryDeleteKey(hive, path.toStdString());
}

void RegisterUnder(const QString& root, const QString& ext) {
    const QString classKey = ClassKey(root, ext);
    const QString current = RegistryRead(classKey, ".").toString();
    // Without the previous identifier kept, taking the extension over would lose it for good.
    if (!IsPlayersProgId(current) && !RegistryWrite(classKey, "ovbak", current)) return;
    const QString exe = Quoted(HostExePath());
    RegistryWrite(ProgIdKey(root, ext), ".", QString("orvane"));
    RegistryWrite(ProgIdKey(root, ext) + "\\DefaultIcon", ".", exe + ",0");
    // "%1" stays literal: whoever opens the file puts its path there.
    RegistryWrite(ProgIdKey(root, ext) + "\\shell\\Open\\command", ".", exe + " \"%1\"");
    RegistryWrite(classKey, ".", ProgId(ext));
}

void PointUserChoiceAtPlayer(const QString& fileExts, const QString& ext) {
    DeleteKey(platform::Hive::CurrentUser, fileExts + "\\UserChoice");
    DeleteKey(platform::Hive::CurrentUser, fileExts + "\\OpenWithProgids");
    RegistryWrite("HKEY_CURRENT_USER\\" + fileExts + "\\UserChoice", "ProgId", ProgId(ext));
}

bool IsPlayersUnder(const QString& root, const QString& ext) {
    const QString classKey = ClassKey(root, ext);
    return IsPlayersProgId(RegistryRead(classKey, ".").toString()) ||
           RegistryRead(classKey, "ovbak").isValid();
}

void RestoreUnder(const QString& root, const QString& ext) {
    const QString classKey = ClassKey(root, ext);
    if (IsPlayersProgId(RegistryRead(classKey, ".").toString()))
        RegistryWrite(classKey, ".", RegistryRead(classKey, "ovbak").toString());
    RegistryRemove(classKey, "ovbak");
}

// A key is deleted only without sub-keys, so the choice the registration made goes first;
// a choice the user made since for another program stays, and with it its parent key.
void ForgetUserChoice(const QString& fileExts, const QString& ext) {
    const QString userChoice = fileExts + "\\UserChoice";
    if (RegistryRead("HKEY_CURRENT_USER\\" + userChoice, "ProgId").toString() == ProgId(ext))
        DeleteKey(platform::Hive::CurrentUser, userChoice);
    DeleteKey(platform::Hive::CurrentUser, fileExts + "\\OpenWithProgids");
    DeleteKey(platform::Hive::CurrentUser, fileExts);
}

}  // namespace

QStringList AssociationExtensions() {
    return QString(kAssociationList).split(',', Qt::SkipEmptyParts);
}

void RegisterFileAssociations(const QString& ext) {
    for (const char* root : kRoots) RegisterUnder(root, ext);
    for (const char* fileExts : kFileExtsKeys) PointUserChoiceAtPlayer(fileExts + ext, ext);
    DeleteKey(platform::Hive::LocalMachine, "Software\\Classes\\." + ext + "\\OpenWithProgids");
    DeleteKey(platform::Hive::CurrentUser, "Software\\Classes\\." + ext + "\\OpenWithProgids");
}

void UnregisterFileAssociations(const QString& ext) {
    bool players = false;
    for (const char* root : kRoots) players = players || IsPlayersUnder(root, ext);
    if (!players) return;
    for (const char* root : kRoots) RestoreUnder(root, ext);
    for (const char* fileExts : kFileExtsKeys) ForgetUserChoice(fileExts + ext, ext);
}

bool IsFileAssociationRegistered(const QString& ext) {
    return RegistryRead(ClassKey("HKEY_CURRENT_USER", ext), ".").toString() == ProgId(ext);
}
