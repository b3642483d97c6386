// The updater against a unit whose capabilities and replies are the fuzzer's bytes: open,
// identification, classification, the version panel and, when Update is offered, a confirmed
// update, all under AddressSanitizer and UndefinedBehaviorSanitizer. A run ends with the window
// closed; anything it left open, or a dialog it left running, is a finding.
//
// Input: byte 0 the input report length, byte 1 the output report length, byte 2 the product ID
// (low bit: 1 or 2), then per exchange one control byte (0 mod 8: the write fails; 1 mod 8: the
// read fails; anything else: the reply) and the reply's bytes, as many as the input report is
// long. When the bytes run out the unit is gone: every later write fails.
#include "fresh_updater.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

class FuzzedUnit {
public:
    FuzzedUnit(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool write(const std::uint8_t*, std::size_t)
    {
        if (at_ >= size_)
            return false;
        control_ = data_[at_++];
        return control_ % 8 != 0;
    }

    bool read(std::uint8_t* reply, std::size_t length)
    {
        if (control_ % 8 == 1)
            return false;
        for (std::size_t i = 0; i < length; ++i)
            reply[i] = at_ < size_ ? data_[at_++] : 0;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::uint8_t control_ = 0;
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    startFresh();

    // Lengths from 0 to 69: below, at and above what the protocol and the buffers allow.
    win32double::HidInterface device;
    device.vendorId = 0x21B8;
    device.productId = (data[2] & 1) != 0 ? 1 : 2;
    device.inputReportLength = static_cast<USHORT>(data[0] % 70);
    device.outputReportLength = static_cast<USHORT>(data[1] % 70);
    auto unit = std::make_shared<FuzzedUnit>(data + 3, size - 3);
    device.scripted = std::make_shared<win32double::ScriptedPeer>();
    device.scripted->write = [unit](const std::uint8_t* request, std::size_t length) { return unit->write(request, length); };
    device.scripted->read = [unit](std::uint8_t* reply, std::size_t length) { return unit->read(reply, length); };
    win32double::addHidDevice(device);

    win32double::whileDialogRuns([](HWND dialog) {
        win32double::setForegroundWindow(dialog);
        win32double::pressButton(1002);     // only when Update is offered; every box is confirmed
        win32double::pressButton(2);
    });
    check(wWinMain(win32double::moduleInstance(), nullptr, const_cast<LPWSTR>(L""), 1) == 0);
    check(!win32double::dialogLeftRunning());
    check(win32double::openCounts() == win32double::OpenCounts{});
    return 0;
}
