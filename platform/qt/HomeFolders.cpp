#include "platform/qt/HomeFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace krl {

namespace {

const QString kHomeName = QStringLiteral("Kestrelcall");

// An XDG base folder must be absolute; a relative one is ignored as the standard says.
QString xdgFolder(const QProcessEnvironment& env, const char* variable, const char* fallback) {
    QString value = env.value(QLatin1String(variable));
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    QString home = env.value(QStringLiteral("HOME"));
    if (home.isEmpty())
        home = QDir::homePath();
    return QDir::cleanPath(home + QLatin1Char('/') + QLatin1String(fallback));
}

QString join(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

bool copyAtomically(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QTemporaryFile temp(to + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open())
        return false;
    while (!source.atEnd()) {
        QByteArray chunk = source.read(1 << 16);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            return false;
        if (temp.write(chunk) != chunk.size())
            return false;
    }
    if (!temp.flush())
        return false;
    temp.setPermissions(source.permissions());
    // rename() refuses to replace an existing file, so a file that appeared meanwhile is kept.
    if (!temp.rename(to))
        return false;
    temp.setAutoRemove(false);
    return true;
}

}  // namespace

QString HomeFolders::resolveHome(const QProcessEnvironment& env) {
    QString krlHome = env.value(QStringLiteral("KRL_HOME"));
    if (!krlHome.isEmpty())
        return QDir::cleanPath(QDir(krlHome).absolutePath());
    return join(xdgFolder(env, "XDG_DATA_HOME", ".local/share"), kHomeName);
}

QString HomeFolders::settingsFile(const QProcessEnvironment& env) {
    return xdgFolder(env, "XDG_CONFIG_HOME", ".config") +
           QStringLiteral("/Brightmar/Kestrelcall.ini");
}

QString HomeFolders::machineSettingsFile(const QProcessEnvironment& env) {
    QString first = env.value(QStringLiteral("XDG_CONFIG_DIRS")).section(QLatin1Char(':'), 0, 0);
    if (first.isEmpty() || !QDir::isAbsolutePath(first))
        first = QStringLiteral("/etc/xdg");
    return QDir::cleanPath(first) + QStringLiteral("/Brightmar/Kestrelcall.ini");
}

QString HomeFolders::effectiveHome(const QProcessEnvironment& env, const QString& storedHome) {
    if (!env.value(QStringLiteral("KRL_HOME")).isEmpty() || storedHome.isEmpty())
        return resolveHome(env);
    return storedHome;
}

HomeFolders::HomeFolders(QString home) : home_(std::move(home)) {}

QString HomeFolders::path(const QString& name) const {
    return join(home_, name);
}

QString HomeFolders::dataDir() const {
    return path(QStringLiteral("data"));
}
QString HomeFolders::businessCardsDir() const {
    return path(QStringLiteral("Business Cards"));
}
QString HomeFolders::tempDir() const {
    return path(QStringLiteral("Temp"));
}
QString HomeFolders::snapshotsDir() const {
    return path(QStringLiteral("Snapshots"));
}
QString HomeFolders::logFile() const {
    return path(QStringLiteral("data/krl.log"));
}
QString HomeFolders::addressBookFile() const {
    return path(QStringLiteral("data/AddressBook.krl"));
}
QString HomeFolders::pageSound() const {
    return path(QStringLiteral("vi_page.wav"));
}
QString HomeFolders::defaultReceiveDir() const {
    return path(QStringLiteral("Receive/"));
}

QString HomeFolders::queueFile(const QString& tonebayHome) {
    return join(tonebayHome, QStringLiteral("data/KrlQFile.krl"));
}

QString HomeFolders::sentHistoryFile(const QString& tonebayHome) {
    return join(tonebayHome, QStringLiteral("data/KrlSFile.krl"));
}

QString HomeFolders::receivedHistoryFile(const QString& tonebayHome) {
    return join(tonebayHome, QStringLiteral("data/KrlRFile.krl"));
}

QString HomeFolders::chatCaptureFile(const QString& receiveDir) {
    return join(receiveDir, QStringLiteral("chat.txt"));
}

bool HomeFolders::createFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    QFileInfo info(folder);
    if (info.isDir())
        return true;
    return QDir().mkpath(folder);
}

bool HomeFolders::createGeneralFolders() const {
    bool ok = createFolder(home_);
    ok = createFolder(dataDir()) && ok;
    ok = createFolder(businessCardsDir()) && ok;
    ok = createFolder(tempDir()) && ok;
    return ok;
}

bool HomeFolders::createSnapshotsDir() const {
    return createFolder(snapshotsDir());
}

int HomeFolders::installMissingFiles(const QString& assetDir) const {
    if (assetDir.isEmpty() || !QFileInfo(assetDir).isDir())
        return 0;
    int copied = 0;
    bool failed = false;
    QDirIterator it(assetDir, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFileInfo source(it.next());
        // Symbolic links are not followed out of the asset folder.
        if (source.isSymLink())
            continue;
        QString target = path(source.fileName());
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        if (copyAtomically(source.filePath(), target))
            ++copied;
        else
            failed = true;
    }
    return failed ? -1 : copied;
}

bool HomeFolders::layOut(const QString& receiveDir, const QString& assetDir) const {
    bool ok = createGeneralFolders();
    ok = createFolder(receiveDir) && ok;
    ok = createSnapshotsDir() && ok;
    ok = installMissingFiles(assetDir) >= 0 && ok;
    return ok;
}

}  // namespace krl
