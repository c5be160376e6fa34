#include "LabelTool.h"

#include <QBuffer>
#include <QImage>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "label/Label.h"
#include "labeldraw/LabelPainter.h"

namespace {

// A template is a few kilobytes; anything past this is no template.
constexpr std::size_t kLargestTemplate = 16 * 1024 * 1024;

struct ReadResult {
    bool ok = false;
    std::string text;
    std::string error;
};

ReadResult readAll(std::istream& in) {
    ReadResult result;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        result.text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (result.text.size() > kLargestTemplate) {
            result.error = "larger than 16 MiB: not a label template";
            return result;
        }
    }
    if (in.bad()) {
        result.error = std::strerror(errno);
        return result;
    }
    result.ok = true;
    return result;
}

ReadResult readTemplate(const std::string& path) {
    if (path == "-") {
        return readAll(std::cin);
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {false, {}, std::strerror(errno)};
    }
    return readAll(file);
}

void printFindings(const label::Label& label, const std::string& name, std::FILE* to) {
    for (const label::Finding& f : label.findings) {
        std::fprintf(to, "%s:%d: %s: %s\n", name.c_str(), f.line,
                     f.severity == label::Severity::Error ? "error" : "warning", f.text.c_str());
    }
}

bool writeAll(std::FILE* to, const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to) ==
               static_cast<std::size_t>(bytes.size()) &&
           std::fflush(to) == 0;
}

int writePicture(const label::Label& label, const LabelToolOptions& options, std::FILE* out,
                 std::FILE* err) {
    if (!labeldraw::fitsPicture(label, options.scale)) {
        std::fprintf(err,
                     "tolvane-label: a picture of %d by %d dots at scale %d is too large to "
                     "draw\n",
                     label.width, label.length, options.scale);
        return 1;
    }
    const QImage picture =
        labeldraw::drawLabel(label, options.scale).convertToFormat(QImage::Format_Grayscale8);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (picture.isNull() || !picture.save(&buffer, "PNG")) {
        std::fprintf(err, "tolvane-label: the picture could not be drawn\n");
        return 1;
    }
    if (options.output == "-") {
        if (!writeAll(out, png)) {
            std::fprintf(err, "tolvane-label: cannot write to standard output\n");
            return 1;
        }
        return 0;
    }
    std::FILE* file = std::fopen(options.output.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(err, "tolvane-label: cannot write %s: %s\n", options.output.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const bool written = writeAll(file, png);
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(err, "tolvane-label: cannot write %s: %s\n", options.output.c_str(),
                     std::strerror(written ? errno : writeErrno));
        std::remove(options.output.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int runLabelTool(const LabelToolOptions& options, std::FILE* out, std::FILE* err) {
    const ReadResult read = readTemplate(options.input);
    const std::string name = options.input == "-" ? "<stdin>" : options.input;
    if (!read.ok) {
        std::fprintf(err, "tolvane-label: cannot read %s: %s\n", name.c_str(), read.error.c_str());
        return 2;
    }
    const label::Label label = label::readLabel(read.text, options.samples);
    if (options.mode == LabelToolOptions::Mode::Check) {
        printFindings(label, name, out);
        return label.hasErrors() ? 1 : 0;
    }
    printFindings(label, name, err);
    return writePicture(label, options, out, err);
}
