// Fuzzes the reading of `udevadm` answers: the bus is "ata", "usb" or nothing, and only as
// the text names it; a USB speed is one of the three known pairs, and only when the text
// holds its figure.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "storage/storage_survey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string bus = storage::busFrom(text);
    if (bus == "ata" || bus == "usb") {
        if (text.find(bus) == std::string_view::npos) std::abort();
    } else if (!bus.empty() || text.find("ata") != std::string_view::npos ||
               text.find("usb") != std::string_view::npos) {
        std::abort();
    }
    if (auto speed = storage::usbSpeedFrom(text)) {
        const std::string figure = speed->speed.substr(0, speed->speed.size() - 1);
        if (text.find(figure) == std::string_view::npos) std::abort();
        if (!((speed->speed == "12M" && speed->version == "1.0") ||
              (speed->speed == "480M" && speed->version == "2.0") ||
              (speed->speed == "5000M" && speed->version == "3.0")))
            std::abort();
    }
    return 0;
}
