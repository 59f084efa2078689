#pragma once

#include <QString>

// A Wine prefix, where a game installed under Wine keeps its registry and its drives:
//   <prefix>/system.reg      the machine's registry (HKEY_LOCAL_MACHINE), "WINE REGISTRY
//                            Version 2" with keys like [Software\\Electronic Arts\\...] 1234
//   <prefix>/dosdevices/c:   a link from the drive letter to a Linux folder
class WinePrefix {
public:
    explicit WinePrefix(QString folder) : m_folder(std::move(folder)) {}

    // $WINEPREFIX, else ~/.wine.
    static QString defaultFolder();
    QString folder() const { return m_folder; }

    // A text value (plain or expandable) of HKEY_LOCAL_MACHINE as stored in system.reg, escapes
    // undone. Key ("Software\Electronic Arts\...", trailing "\" allowed) and value name compare
    // without regard to case; an empty name is the key's default value. "" when missing.
    QString readMachineText(const QString& key, const QString& name) const;

    // A Windows path ("C:\Games\NFSHS") as a Linux path through dosdevices, each component below
    // the drive matched without regard to case against what exists. "" when the drive is not
    // mapped. Linux paths ("/...", or "\\?\unix\...") come back with "/" separators.
    QString toLinuxPath(const QString& windowsPath) const;

    // The folder named by "InstallPath" under key, also looked up under Software\Wow6432Node
    // (where a 32-bit installer writes in a 64-bit prefix), as a Linux path; "" when not found.
    QString installFolder(const QString& key) const;

private:
    QString m_folder;
};
