#pragma once

// A fresh folder with a "Tolvane" settings folder inside for each test, and
// what the settings tests read from the files the store leaves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace settingstest {

namespace fs = std::filesystem;

inline std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

inline mode_t modeOf(const fs::path& name) {
    struct stat st {};
    EXPECT_EQ(::stat(name.c_str(), &st), 0) << name;
    return st.st_mode & 07777;
}

inline QJsonObject sectionInFile(const fs::path& file) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(readBytes(file)));
    EXPECT_TRUE(document.isObject()) << readBytes(file);
    return document.object().value("TolvaneApp").toObject();
}

inline std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Regular-expression text matching `text` literally.
inline std::string literal(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

class SettingsStoreTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "settings-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        folder_ = dir_ / "Tolvane";
        fs::create_directory(folder_);
        file_ = folder_ / "TolvaneApp.json";
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    fs::path folder_;
    fs::path file_;
};

}  // namespace settingstest
