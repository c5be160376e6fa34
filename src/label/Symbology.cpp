#include "label/Symbology.h"

#include <array>
#include <cstdio>

namespace label {
namespace {

constexpr std::array kSymbologies = {
    SymbologyInfo{"1", Symbology::Code128, "Code 128", false, 1, 10},
    SymbologyInfo{"3", Symbology::Code39, "Code 39", true, 1, 10},
    SymbologyInfo{"3C", Symbology::Code39Check, "Code 39 with check digit", true, 1, 10},
    SymbologyInfo{"9", Symbology::Code93, "Code 93", false, 1, 10},
    SymbologyInfo{"2", Symbology::Interleaved2of5, "Interleaved 2 of 5", true, 1, 10},
    SymbologyInfo{"2C", Symbology::Interleaved2of5Check, "Interleaved 2 of 5 with check digit",
                  true, 1, 10},
    SymbologyInfo{"K", Symbology::Codabar, "Codabar", true, 1, 10},
    SymbologyInfo{"E30", Symbology::Ean13, "EAN-13", false, 2, 4},
    SymbologyInfo{"E80", Symbology::Ean8, "EAN-8", false, 2, 4},
    SymbologyInfo{"UA0", Symbology::UpcA, "UPC-A", false, 2, 4},
    SymbologyInfo{"UE0", Symbology::UpcE, "UPC-E", false, 2, 4},
};

constexpr std::array<std::string_view, 23> kUndrawnTypes = {
    "0",   "1A",  "1B",  "1C",  "1D",  "1E",  "2D", "2G", "2M", "2U", "E32", "E35",
    "E82", "E85", "UA2", "UA5", "UE2", "UE5", "P",  "PL", "J",  "L",  "M"};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string position(std::size_t index) {
    return std::to_string(index + 1);
}

std::string byteText(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7f) {
        return std::string("'") + c + "'";
    }
    char hex[12];
    std::snprintf(hex, sizeof hex, "byte 0x%02X", byte);
    return hex;
}

// The first byte outside 1..127, as an error text.
std::string asciiOnly(const SymbologyInfo& type, std::string_view data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte == 0 || byte > 127) {
            return std::string(type.name) + " carries ASCII characters only: " + byteText(data[i]) +
                   " at position " + position(i);
        }
    }
    return {};
}

std::string digitsOnly(const SymbologyInfo& type, std::string_view data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (!isDigit(data[i])) {
            return std::string(type.name) + " carries digits only: " + byteText(data[i]) +
                   " at position " + position(i);
        }
    }
    return {};
}

std::string fixedDigits(const SymbologyInfo& type, std::string_view data, std::size_t digits) {
    std::string error = digitsOnly(type, data);
    if (error.empty() && data.size() != digits) {
        error = std::string(type.name) + " takes " + std::to_string(digits) +
                " digits (the printer adds the check digit), not " + std::to_string(data.size());
    }
    return error;
}

bool isCodabarStartStop(char c) {
    return c >= 'A' && c <= 'D';
}

std::string codabar(const SymbologyInfo& type, std::string_view data) {
    if (data.size() < 3 || !isCodabarStartStop(data.front()) || !isCodabarStartStop(data.back())) {
        return "Codabar data starts and ends with a start/stop character A, B, C or D and "
               "holds at least one character between them";
    }
    constexpr std::string_view kMiddle = "0123456789-$:/.+";
    for (std::size_t i = 1; i + 1 < data.size(); ++i) {
        if (kMiddle.find(data[i]) == std::string_view::npos) {
            return std::string(type.name) +
                   " carries digits and - $ : / . + only: " + byteText(data[i]) + " at position " +
                   position(i);
        }
    }
    return {};
}

}  // namespace

const SymbologyInfo* findSymbology(std::string_view code) {
    for (const SymbologyInfo& info : kSymbologies) {
        if (info.code == code) {
            return &info;
        }
    }
    return nullptr;
}

bool isUndrawnBarcodeType(std::string_view code) {
    for (const std::string_view type : kUndrawnTypes) {
        if (type == code) {
            return true;
        }
    }
    return false;
}

bool isPlainCode39(std::string_view data) {
    constexpr std::string_view kPlain = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ -.$/+%";
    return data.find_first_not_of(kPlain) == std::string_view::npos;
}

DataVerdict checkBarcodeData(const SymbologyInfo& type, std::string_view data) {
    DataVerdict verdict;
    switch (type.symbology) {
        case Symbology::Code128:
        case Symbology::Code39:
        case Symbology::Code39Check:
        case Symbology::Code93:
            verdict.error = asciiOnly(type, data);
            break;
        case Symbology::Interleaved2of5:
        case Symbology::Interleaved2of5Check: {
            verdict.error = digitsOnly(type, data);
            const bool check = type.symbology == Symbology::Interleaved2of5Check;
            if (verdict.error.empty() && (data.size() + (check ? 1 : 0)) % 2 != 0) {
                verdict.warning = std::string(type.name) +
                                  " carries digits in pairs: " + std::to_string(data.size()) +
                                  " digits" + (check ? " and the check digit" : "") +
                                  " are an odd number, drawn with a leading 0";
            }
            break;
        }
        case Symbology::Codabar:
            verdict.error = codabar(type, data);
            break;
        case Symbology::Ean13:
            verdict.error = fixedDigits(type, data, 12);
            break;
        case Symbology::Ean8:
            verdict.error = fixedDigits(type, data, 7);
            break;
        case Symbology::UpcA:
            verdict.error = fixedDigits(type, data, 11);
            break;
        case Symbology::UpcE:
            verdict.error = digitsOnly(type, data);
            if (verdict.error.empty() && data.size() != 6 &&
                !(data.size() == 7 && (data[0] == '0' || data[0] == '1'))) {
                verdict.error =
                    "UPC-E takes 6 digits, or 7 starting with the number system 0 or 1 "
                    "(the printer adds the check digit), not " +
                    std::to_string(data.size());
            }
            break;
    }
    return verdict;
}

}  // namespace label
