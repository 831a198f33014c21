#pragma once
// Drives the device model directly, without pipes: builds SimRequest records
// the way the core hands them over and records the notifications raised.
#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelRecords.h"
#include "KorvelStatus.h"
#include "SimDeviceModel.h"
#include "SimNotifier.h"
#include "SimWords.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

class RecordingNotifier : public SimNotifier
{
public:
    struct Raised
    {
        uint32_t code;
        std::vector<uint8_t> payload;
    };

    void Broadcast(uint32_t code, const void* payload, uint32_t length) override
    {
        const auto* bytes = static_cast<const uint8_t*>(payload);
        raised.push_back(Raised{code, std::vector<uint8_t>(bytes, bytes + (bytes ? length : 0))});
    }

    size_t Count(uint32_t code) const
    {
        size_t count = 0;
        for (const auto& r : raised) {
            count += r.code == code ? 1 : 0;
        }
        return count;
    }

    std::vector<Raised> raised;
};

class SimModelFixture : public ::testing::Test
{
protected:
    struct Answer
    {
        uint32_t status;
        std::vector<uint8_t> out;
        uint32_t returned;
    };

    Answer Call(bool device, KorvelDeviceKey key, uint32_t code, const void* in, uint32_t inLength,
                uint32_t outCapacity)
    {
        std::vector<uint8_t> input(static_cast<const uint8_t*>(in),
                                   static_cast<const uint8_t*>(in) + (in ? inLength : 0));
        Answer answer{0, std::vector<uint8_t>(outCapacity, 0), 0};
        SimRequest r;
        r.connection = 7;
        r.processId = 1234;
        r.deviceBound = device;
        r.keyWord0 = key.word0;
        r.keyWord1 = key.word1;
        r.code = code;
        r.in = input.empty() ? nullptr : input.data();
        r.inLength = static_cast<uint32_t>(input.size());
        r.out = answer.out.empty() ? nullptr : answer.out.data();
        r.outCapacity = outCapacity;
        answer.status = device ? model.HandleDeviceRequest(r) : model.HandleDriverRequest(r);
        answer.returned = r.bytesReturned;
        EXPECT_LE(r.bytesReturned, outCapacity);
        return answer;
    }

    Answer Driver(uint32_t code, const void* in, uint32_t inLength, uint32_t outCapacity)
    {
        return Call(false, {}, code, in, inLength, outCapacity);
    }

    Answer Device(size_t index, uint32_t code, const void* in, uint32_t inLength,
                  uint32_t outCapacity)
    {
        return Call(true, KeyOf(index), code, in, inLength, outCapacity);
    }

    template <class T> static T As(const Answer& answer)
    {
        T value{};
        std::memcpy(&value, answer.out.data(), std::min(sizeof(T), answer.out.size()));
        return value;
    }

    template <class T> T DriverGet(uint32_t code)
    {
        Answer answer = Driver(code, nullptr, 0, sizeof(T));
        EXPECT_EQ(answer.status, 0u);
        return As<T>(answer);
    }

    uint32_t Command(uint32_t command, uint32_t argument = 0)
    {
        uint32_t in[2] = {command, argument};
        return Driver(IOCTL_KORVEL_STREAMING_COMMAND, in, 8, 0).status;
    }

    uint32_t SetU32(uint32_t code, uint32_t value) { return Driver(code, &value, 4, 0).status; }

    uint32_t State()
    {
        return DriverGet<KorvelStreamingState>(IOCTL_KORVEL_GET_STREAMING_STATE).state;
    }

    KorvelDeviceKey KeyOf(size_t index)
    {
        SimDevice* device = model.Devices().At(index);
        return device ? device->Key() : KorvelDeviceKey{0xDEAD, 0xBEEF};
    }

    std::string Control(const std::string& line)
    {
        std::vector<std::string> words;
        std::string error;
        EXPECT_TRUE(SimWords::Split(line, words, error)) << line;
        bool handled = false;
        std::string answer = model.Control(words, handled);
        EXPECT_TRUE(handled) << line;
        return answer;
    }

    bool DumpHas(const std::string& line)
    {
        for (const std::string& l : model.DumpLines()) {
            if (l == line) {
                return true;
            }
        }
        return false;
    }

    RecordingNotifier notifier;
    SimDeviceModel model{notifier};
};
