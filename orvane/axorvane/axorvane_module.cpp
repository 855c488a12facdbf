// The browser control library's class, its self-registration and its component exports.
// Registration writes the class id, both ProgIDs and the library's path, per user or for
// the machine (DllInstall with "user" chooses the user).
#include "com/module.h"
#include "iorvane_ax.h"
#include "orvane_ax_control.h"

namespace {

// The application id with the library's name, and the type library's entry.
const char kModuleScript[] = R"(HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s 'axorvane'
        'libaxorvane.so'
        {
            val AppID = s '%APPID%'
        }
    }
    NoRemove TypeLib
    {
        ForceRemove '%LIBID%'
        {
            '1.0' = s 'axorvane 1.0 Type Library'
            {
                val Library = s '%MODULE%'
            }
        }
    }
}
)";

// MiscStatus 131473: recompose on resize, cannot link inside, inside-out, activate when
// visible, set the client site first.
const char kClassScript[] = R"(HKCR
{
    Hallek.OrvaneAX.1 = s 'OrvaneAX Class'
    {
        CLSID = s '%CLSID%'
    }
    Hallek.OrvaneAX = s 'OrvaneAX Class'
    {
        CLSID = s '%CLSID%'
        CurVer = s 'Hallek.OrvaneAX.1'
    }
    NoRemove CLSID
    {
        ForceRemove %CLSID% = s 'OrvaneAX Class'
        {
            ProgID = s 'Hallek.OrvaneAX.1'
            VersionIndependentProgID = s 'Hallek.OrvaneAX'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            val AppID = s '%APPID%'
            ForceRemove 'Control'
            ForceRemove 'ToolboxBitmap32' = s '%MODULE%, 102'
            'MiscStatus' = s '0'
            {
                '1' = s '131473'
            }
            'TypeLib' = s '%LIBID%'
            'Version' = s '1.0'
        }
    }
}
)";

com::Module& ThisModule() {
    static com::Module module = [] {
        com::ServerInfo info;
        info.typeLib = kLibIdAxorvane;
        info.typeLibName = "axorvane 1.0 Type Library";
        info.appId = kAppIdAxorvane;
        info.appName = "axorvane";
        info.registryScript = kModuleScript;
        com::ClassInfo orvaneAX;
        orvaneAX.clsid = kClsidOrvaneAX;
        orvaneAX.name = "OrvaneAX Class";
        orvaneAX.progId = "Hallek.OrvaneAX.1";
        orvaneAX.versionIndependentProgId = "Hallek.OrvaneAX";
        orvaneAX.create = com::Creator<COrvaneAX>();
        orvaneAX.control = true;
        orvaneAX.registryScript = kClassScript;
        return com::Module(info, {orvaneAX});
    }();
    return module;
}

}  // namespace

ORVANE_COM_SERVER(ThisModule())
