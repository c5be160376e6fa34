#include "common/LabelTemplates.h"

#include <array>

namespace {

std::string elementLine(int i) {
    const int x = 10 + (i * 37) % 500;
    const int y = 10 + (i * 53) % 700;
    const std::string at = std::to_string(x) + "," + std::to_string(y) + ",";
    static const std::array<std::string, 8> barcodes = {
        "1,2,4,40,B,\"C0402-",       "3,2,5,40,N,\"LOT",    "9,2,4,40,B,\"R",
        "2,2,5,40,N,\"1234",         "K,2,5,40,B,\"A12",    "E30,2,4,40,B,\"59012341234",
        "UA0,2,4,40,N,\"0360002914", "UE0,2,4,40,B,\"12345"};
    switch (i % 5) {
        case 0:
            return "A" + at + std::to_string(i % 4) + "," + std::to_string(1 + i % 5) +
                   ",1,1,N,\"Lot @C " + std::to_string(i) + "\"";
        case 1: {
            const std::string& b = barcodes[static_cast<std::size_t>(i / 5) % barcodes.size()];
            const bool trailingLetter = b.find("\"A12") != std::string::npos;
            return "B" + at + std::to_string(i % 4) + "," + b + std::to_string(i % 10) +
                   (trailingLetter ? "B\"" : "\"");
        }
        case 2:
            return "LO" + at + "120,3";
        case 3:
            return "X" + at + "2," + std::to_string(x + 80) + "," + std::to_string(y + 40);
        default:
            return "LS" + at + "2," + std::to_string(x + 60) + "," + std::to_string(y + 30);
    }
}

}  // namespace

std::string labelTemplateWithElements(int elements) {
    std::string text = "N\r\nq832\r\nQ812,24\r\nS2\r\nD10\r\n";
    for (int i = 0; i < elements; ++i) {
        text += elementLine(i) + "\r\n";
    }
    return text + "P1,1\r\n";
}

std::string labelTemplateOfSize(std::size_t bytes) {
    std::string text = "N\r\nq832\r\nQ812,24\r\n";
    for (int i = 0; text.size() < bytes; ++i) {
        text += elementLine(i) + "\r\n";
    }
    return text + "P1,1\r\n";
}
