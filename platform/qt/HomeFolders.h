#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace krl {

// The program's home folder and the folders and files laid out under it.
//
// The home folder is $KRL_HOME when set, else $XDG_DATA_HOME/Kestrelcall, else
// ~/.local/share/Kestrelcall. The settings file is $XDG_CONFIG_HOME/Brightmar/Kestrelcall.ini
// (else ~/.config/...). The environment is passed in so tests and second instances choose
// their own.
//
// Only a missing folder is created; a failure to create one is not reported to the user (the
// functions return false so callers and tests can tell).
class HomeFolders {
public:
    static QString resolveHome(const QProcessEnvironment& env);
    static QString settingsFile(const QProcessEnvironment& env);
    // The machine-wide settings the installation writes: Brightmar/Kestrelcall.ini in the first
    // of $XDG_CONFIG_DIRS (default /etc/xdg).
    static QString machineSettingsFile(const QProcessEnvironment& env);
    // The home folder to use given the one stored in the settings: $KRL_HOME, when set, wins
    // over the stored folder, which wins over the default folder.
    static QString effectiveHome(const QProcessEnvironment& env, const QString& storedHome);

    explicit HomeFolders(QString home);

    const QString& home() const { return home_; }
    // "data": the one spelling of the data folder, whichever case older paths used.
    QString dataDir() const;
    QString businessCardsDir() const;  // pictures of received business cards
    QString tempDir() const;           // temporary files, clipboard packages
    QString snapshotsDir() const;      // snapshots
    QString logFile() const;           // connection log, created anew at every start
    QString addressBookFile() const;
    QString pageSound() const;          // played when the peer pages us
    QString defaultReceiveDir() const;  // ends with '/'

    // The file transfer side's files, under its own home folder (the Tonebay HomeDir).
    static QString queueFile(const QString& tonebayHome);
    static QString sentHistoryFile(const QString& tonebayHome);
    static QString receivedHistoryFile(const QString& tonebayHome);
    // The default chat capture file: the receive folder followed by "chat.txt".
    static QString chatCaptureFile(const QString& receiveDir);

    // The home folder and the folders made when the General block is loaded: data,
    // "Business Cards" and "Temp".
    bool createGeneralFolders() const;
    bool createSnapshotsDir() const;
    // The receive folder, made when the Tonebay block is loaded.
    static bool createFolder(const QString& path);

    // Copies every plain file of assetDir (modem scripts, sounds, animations shipped with the
    // program) that the home folder lacks. Existing files are never overwritten; each copy is
    // written beside its place and renamed into it. Returns the number of files copied, or -1
    // when a copy failed.
    int installMissingFiles(const QString& assetDir) const;

    // First run and every start: the home folder, the General folders, the receive folder,
    // the snapshot folder and any missing shipped files. Returns false when something could not
    // be made.
    bool layOut(const QString& receiveDir, const QString& assetDir) const;

private:
    QString path(const QString& name) const;

    QString home_;
};

}  // namespace krl
