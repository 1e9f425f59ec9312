#include "transfer/SendQueueFile.h"

#include <optional>
#include <utility>

#include "base/FileStore.h"
#include "base/ReceivedName.h"
#include "link/FileOffer.h"

namespace krl {
namespace {

// A kind field: an optional '-' and at most nine digits.
std::optional<int> parseKind(std::string_view field) {
    bool negative = !field.empty() && field.front() == '-';
    if (negative)
        field.remove_prefix(1);
    if (field.empty() || field.size() > 9)
        return std::nullopt;
    int value = 0;
    for (char ch : field) {
        if (ch < '0' || ch > '9')
            return std::nullopt;
        value = value * 10 + (ch - '0');
    }
    return negative ? -value : value;
}

int kindOfType(std::string_view type, std::string_view path) {
    if (type == kClipboardPackageType)
        return clipboardFormatOfName(namePartOf(path));
    if (type == kCardPictureType)
        return kCardPicture;
    return kOrdinaryFile;
}

int believableKind(int kind, std::string_view path) {
    if (kind < 0)
        return kCardPicture;
    if (kind > 0 && clipboardFormatOfName(namePartOf(path)) != kind)
        return kOrdinaryFile;
    return kind;
}

std::optional<QueueItem> decodeLine(std::string_view line) {
    std::string_view pathField = line;
    std::string_view typeField;
    std::optional<int> kind;
    if (auto last = line.rfind(';'); last != std::string_view::npos) {
        auto before = last == 0 ? std::string_view::npos : line.rfind(';', last - 1);
        kind = before == std::string_view::npos ? std::nullopt : parseKind(line.substr(last + 1));
        if (kind) {
            pathField = line.substr(0, before);
            typeField = line.substr(before + 1, last - before - 1);
        } else {
            pathField = line.substr(0, last);
            typeField = line.substr(last + 1);
        }
    }
    QueueItem item;
    item.path = pathOfField(pathField);
    if (storedPathProblem(item.path) != PathProblem::None)
        return std::nullopt;
    item.typeText = textOfField(typeField);
    item.kind = kind ? believableKind(*kind, item.path) : kindOfType(item.typeText, item.path);
    return item;
}

std::string encodeLine(const QueueItem& item) {
    std::string line = fieldOfPath(item.path);
    line += ';';
    line += fieldOfText(item.typeText, stored_line::kTypeWidth);
    line += ';';
    line += std::to_string(item.kind);
    line += "\r\n";
    return line;
}

}  // namespace

SendQueueFile::SendQueueFile(FileStore& files, std::string path)
    : files_(files), path_(std::move(path)) {}

std::vector<QueueItem> SendQueueFile::load() const {
    StoredFileRead read = files_.read(path_, stored_line::kMaxFileBytes);
    if (read.error != 0)
        return {};
    return decode(read.bytes);
}

StoreResult SendQueueFile::save(const std::vector<QueueItem>& items) const {
    for (const QueueItem& item : items) {
        if (PathProblem problem = storedPathProblem(item.path); problem != PathProblem::None)
            return {problem, 0, path_};
    }
    return {PathProblem::None, files_.replace(path_, encode(items)), path_};
}

StoreResult SendQueueFile::append(const QueueItem& item) const {
    if (PathProblem problem = storedPathProblem(item.path); problem != PathProblem::None)
        return {problem, 0, path_};
    return {PathProblem::None, appendStoredLine(files_, path_, encodeLine(item)), path_};
}

StoreResult SendQueueFile::clear() const {
    return {PathProblem::None, files_.replace(path_, {}), path_};
}

std::string SendQueueFile::encode(const std::vector<QueueItem>& items) {
    std::string bytes;
    for (const QueueItem& item : items)
        bytes += encodeLine(item);
    return bytes;
}

std::vector<QueueItem> SendQueueFile::decode(std::string_view bytes) {
    std::vector<QueueItem> items;
    for (std::string_view line : storedLines(bytes)) {
        if (auto item = decodeLine(line))
            items.push_back(std::move(*item));
    }
    return items;
}

}  // namespace krl
