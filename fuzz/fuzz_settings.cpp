// Any bytes at all as the settings file: the store must start, answer every
// read, keep a damaged file aside unchanged, and leave a valid file after a write.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "StoreMutator.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace fs = std::filesystem;

namespace {

// Every key of the settings table.
constexpr auto kKeys = [] {
    std::array<const char*, kSettingsTable.size()> names{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = kSettingsTable[i].name();
    }
    return names;
}();

const QString kSection = QStringLiteral("TolvaneApp");
constexpr char kNoStringUtf8[] = "\x01no string";
const QString kNoString = QString::fromUtf8(kNoStringUtf8);
constexpr int kNoInt = INT32_MIN + 17;

// One private folder per process, made on first use and removed at exit; it is
// emptied before every input.
const fs::path& storeFolder() {
    static const fs::path folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/fuzz_settings.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        static fs::path made;
        made = pattern;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(made, ec);
        });
        return made;
    }();
    return folder;
}

void emptyFolder(const fs::path& folder) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        fs::remove_all(entry.path());
    }
}

std::vector<std::string> folderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

QByteArray readWhole(const fs::path& file) {
    QByteArray bytes;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    char buffer[8192];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, got);
    }
    FUZZ_CHECK(got == 0);
    ::close(fd);
    return bytes;
}

void writeWhole(const fs::path& file, const uint8_t* data, std::size_t size) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, data, size) == static_cast<ssize_t>(size));
    ::close(fd);
}

// A file the store keeps: a JSON object whose "TolvaneApp" member, if any, is
// an object (numbers beyond a double read as null, as the store reads them).
bool isValidStore(const QByteArray& bytes, QJsonObject& top) {
    std::string reason;
    return settingsfile::parse(bytes, top, reason);
}

// Whether the store can read `value` as the type of table row `i` (the stamp
// takes anything: another type is just not the stamp).
bool readableAs(std::size_t i, const QJsonValue& value) {
    const SettingRow& row = kSettingsTable[i];
    if (value.isUndefined() || row.integer == &setting::firstRunStamp) {
        return true;
    }
    if (row.text != nullptr) {
        return value.isString();
    }
    const double number = value.toDouble();
    return value.isDouble() && number == std::trunc(number) && number >= -2147483648.0 &&
           number <= 2147483647.0;
}

struct Reads {
    std::array<int, kKeys.size()> ints;
    std::array<QString, kKeys.size()> strings;
};

Reads readAll(const SettingsStore& store) {
    Reads reads;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        reads.ints[i] = store.intValue({kKeys[i], kNoInt});
        reads.strings[i] = store.text({kKeys[i], kNoStringUtf8});
    }
    return reads;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(uint8_t* data, std::size_t size, std::size_t maxSize);

// Half of the changes keep the file JSON (see mutateStore), the rest are
// libFuzzer's own byte changes.
extern "C" std::size_t LLVMFuzzerCustomMutator(uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned seed) {
    if (seed % 2 == 0) {
        const std::optional<QByteArray> changed = mutateStore(
            QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
            seed / 2);
        if (changed && static_cast<std::size_t>(changed->size()) <= maxSize) {
            std::memcpy(data, changed->constData(), static_cast<std::size_t>(changed->size()));
            return static_cast<std::size_t>(changed->size());
        }
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fs::path& folder = storeFolder();
    emptyFolder(folder);
    const fs::path file = folder / "TolvaneApp.json";
    writeWhole(file, data, size);
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QJsonObject top;
    const bool valid = isValidStore(input, top);

    SettingsStore store(file);
    const Reads before = readAll(store);

    std::vector<std::string> names = folderNames(folder);
    std::sort(names.begin(), names.end());
    std::string aside;
    bool clean = valid;
    if (valid) {
        const QJsonObject section = top.value(kSection).toObject();
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            const QJsonValue value = section.value(QLatin1String(kKeys[i]));
            if (!readableAs(i, value)) {
                // Read as its default; the others as they are.
                clean = false;
                FUZZ_CHECK(before.ints[i] == kNoInt && before.strings[i] == kNoString);
            } else {
                FUZZ_CHECK(before.strings[i] == (value.isString() ? value.toString() : kNoString));
            }
        }
    }
    if (clean) {
        // Loading alone never rewrites a good file.
        FUZZ_CHECK(names.size() == 1 && names[0] == "TolvaneApp.json");
        FUZZ_CHECK(readWhole(file) == input);
    } else if (valid) {
        // The file as it was is kept aside; the file itself is written again
        // without the unreadable values.
        FUZZ_CHECK(names.size() == 2 && names[0] == "TolvaneApp.json" &&
                   names[1].starts_with("TolvaneApp.json.corrupt-"));
        aside = names[1];
        FUZZ_CHECK(readWhole(folder / aside) == input);
        QJsonObject again;
        FUZZ_CHECK(isValidStore(readWhole(file), again));
        const QJsonObject section = again.value(kSection).toObject();
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            FUZZ_CHECK(readableAs(i, section.value(QLatin1String(kKeys[i]))));
        }
    } else {
        // The damaged file is kept aside byte for byte and the store starts empty.
        FUZZ_CHECK(names.size() == 1 && names[0].starts_with("TolvaneApp.json.corrupt-"));
        aside = names[0];
        FUZZ_CHECK(readWhole(folder / aside) == input);
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            FUZZ_CHECK(before.ints[i] == kNoInt && before.strings[i] == kNoString);
        }
    }

    // A value of the row's own type, as the program writes it.
    const std::size_t written = size % kKeys.size();
    const int value = static_cast<int>(size * 2654435761u);
    const bool writesInt = kSettingsTable[written].integer != nullptr;
    const QJsonValue stored = writesInt ? QJsonValue(value) : QJsonValue(QString::number(value));
    if (writesInt) {
        store.setInt({kKeys[written]}, value);
        FUZZ_CHECK(store.intValue({kKeys[written], kNoInt}) == value);
    } else {
        store.setText({kKeys[written]}, stored.toString());
        FUZZ_CHECK(store.text({kKeys[written], kNoStringUtf8}) == stored.toString());
    }

    // One settings file (and the kept damaged one), no temporary file left over.
    names = folderNames(folder);
    FUZZ_CHECK(names.size() == (clean ? 1u : 2u));
    for (const std::string& name : names) {
        FUZZ_CHECK(name == "TolvaneApp.json" || name == aside);
    }
    QJsonObject rewritten;
    FUZZ_CHECK(isValidStore(readWhole(file), rewritten));
    FUZZ_CHECK(rewritten.value(kSection).toObject().value(QLatin1String(kKeys[written])) == stored);
    if (valid) {
        // Members beside the section survive the rewrite.
        QJsonObject othersBefore = top;
        QJsonObject othersAfter = rewritten;
        othersBefore.remove(kSection);
        othersAfter.remove(kSection);
        FUZZ_CHECK(othersBefore == othersAfter);
    }

    // A second start reads what the first one saw, plus the one write.
    const SettingsStore reopened(file);
    FUZZ_CHECK(folderNames(folder).size() == names.size());
    const Reads after = readAll(reopened);
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (i == written && writesInt) {
            FUZZ_CHECK(after.ints[i] == value && after.strings[i] == kNoString);
        } else if (i == written) {
            FUZZ_CHECK(after.ints[i] == kNoInt && after.strings[i] == stored.toString());
        } else {
            FUZZ_CHECK(after.ints[i] == before.ints[i] && after.strings[i] == before.strings[i]);
        }
    }
    return 0;
}
