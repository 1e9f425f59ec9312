#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <string>

#include "base/ByteRecord.h"

namespace krl::settings_ini {

// One block's group, read the way the registry values were read: a value is taken only when it
// is present and has the expected type and size.
class GroupReader {
public:
    GroupReader(QSettings& settings, const QString& group) : settings_(settings) {
        settings_.beginGroup(group);
        exists_ = !settings_.childKeys().isEmpty() || !settings_.childGroups().isEmpty();
    }
    ~GroupReader() { settings_.endGroup(); }
    GroupReader(const GroupReader&) = delete;
    GroupReader& operator=(const GroupReader&) = delete;

    bool exists() const { return exists_; }

    // A 32-bit value; negative numbers are taken as their 32-bit pattern.
    std::optional<std::uint32_t> dword(const char* name) const {
        QVariant v = settings_.value(QLatin1String(name));
        if (!v.isValid())
            return std::nullopt;
        bool ok = false;
        qlonglong n = v.toString().trimmed().toLongLong(&ok);
        if (!ok || n < INT32_MIN || n > qlonglong(UINT32_MAX))
            return std::nullopt;
        return static_cast<std::uint32_t>(n);
    }

    // A non-empty text, cut at a zero and, when maxBytes is given, shortened to it.
    std::optional<std::string> text(const char* name, std::size_t maxBytes = 0) const {
        QVariant v = settings_.value(QLatin1String(name));
        if (!v.isValid())
            return std::nullopt;
        std::string s = v.toString().toStdString();
        s = s.substr(0, s.find('\0'));
        if (maxBytes != 0)
            s = std::string(byte_record::truncateUtf8(s, maxBytes));
        if (s.empty())
            return std::nullopt;
        return s;
    }

    // A byte record of minSize to maxSize bytes.
    std::optional<QByteArray> bytes(const char* name, std::size_t minSize,
                                    std::size_t maxSize) const {
        QVariant v = settings_.value(QLatin1String(name));
        if (!v.isValid() || v.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        QByteArray b = v.toByteArray();
        auto size = static_cast<std::size_t>(b.size());
        if (size < minSize || size > maxSize)
            return std::nullopt;
        return b;
    }

    std::optional<QByteArray> bytes(const char* name, std::size_t size) const {
        return bytes(name, size, size);
    }

private:
    QSettings& settings_;
    bool exists_ = false;
};

class GroupWriter {
public:
    GroupWriter(QSettings& settings, const QString& group) : settings_(settings) {
        settings_.beginGroup(group);
    }
    ~GroupWriter() { settings_.endGroup(); }
    GroupWriter(const GroupWriter&) = delete;
    GroupWriter& operator=(const GroupWriter&) = delete;

    void dword(const char* name, std::uint32_t value) {
        settings_.setValue(QLatin1String(name), QVariant::fromValue<uint>(value));
    }
    void dword(const char* name, std::int32_t value) {
        dword(name, static_cast<std::uint32_t>(value));
    }
    void text(const char* name, const std::string& value) {
        settings_.setValue(QLatin1String(name), QString::fromStdString(value));
    }
    void bytes(const char* name, const QByteArray& value) {
        settings_.setValue(QLatin1String(name), value);
    }

private:
    QSettings& settings_;
};

}  // namespace krl::settings_ini
