#include "HostCommandLine.h"

#include "HostAsioText.h"

#include <objbase.h>

#include <cwchar>

namespace {

bool ToNumber(const std::wstring& text, double low, double high, double& value)
{
    if (text.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    value = std::wcstod(text.c_str(), &end);
    return *end == L'\0' && value >= low && value <= high;
}

} // namespace

const char* HostCommandLine::Usage()
{
    return "asiohost - exercises an installed ASIO driver as hosts do\n"
           "\n"
           "Usage:\n"
           "  asiohost list\n"
           "      The ASIO drivers in the registry (HKLM\\SOFTWARE\\ASIO).\n"
           "  asiohost probe NAME | --dll PATH [--clsid {CLSID}]\n"
           "      Name, version, channels, rates, buffer sizes, latencies, clock sources.\n"
           "  asiohost stream NAME | --dll PATH [options]\n"
           "      Streams and prints a summary. Options:\n"
           "        --seconds S        how long (default 5)\n"
           "        --rate HZ          set this rate first when it differs (default: keep)\n"
           "        --frames N         buffer size (default: the driver's preferred)\n"
           "        --channels LIST    e.g. i0,i1,o0,o1 (default: every channel)\n"
           "        --no-timeinfo      answer kAsioSupportsTimeInfo with 0 (bufferSwitch)\n"
           "        --tone HZ          sine on every output (default 440; 0 = silence)\n"
           "        --record FILE.wav  record the inputs\n"
           "        --load PERCENT     spend that share of each period busy in the callback\n"
           "        --stall-ms MS      no switch for that long ends the run (default 3000)\n"
           "        --json             the summary as one JSON object\n"
           "      A reset request is followed by stop, disposeBuffers, Release and opening\n"
           "      the driver again at its current rate.\n"
           "  asiohost latency NAME | --dll PATH [--rate HZ] [--frames N] [--channels IN,OUT]\n"
           "                   [--repeat N] [--json]\n"
           "      Measures the round trip from output OUT to input IN (default 0,0), which\n"
           "      a loopback cable must join: plays a test sequence N times (default 5),\n"
           "      finds it in the recording and prints it beside the driver's latencies.\n"
           "  asiohost rate NAME | --dll PATH HZ\n"
           "      Opens the driver, setSampleRate(HZ), prints the result, releases it.\n"
           "\n"
           "Exit codes: 0 OK, 1 streaming failed, 2 usage, 3 no such driver, 4 init failed,\n"
           "5 rate refused, 6 createBuffers refused, 7 start failed, 8 no test sequence found.\n";
}

bool HostCommandLine::Parse(const std::vector<std::wstring>& args, std::string& error)
{
    if (args.size() < 2) {
        error = "no command";
        return false;
    }
    command = args[1];
    if (command == L"help" || command == L"--help" || command == L"-h" || command == L"/?") {
        command = L"help";
        return true;
    }
    if (command != L"list" && command != L"probe" && command != L"stream" && command != L"rate" &&
        command != L"latency") {
        error = "unknown command '" + HostAsioText::Narrow(command) + "'";
        return false;
    }
    std::vector<std::wstring> words;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i].rfind(L"--", 0) == 0) {
            if (!ParseOption(args, i, error)) {
                return false;
            }
        } else {
            words.push_back(args[i]);
        }
    }
    const bool viaDll = !stream.source.dllPath.empty();
    const size_t names = viaDll ? 0 : 1;
    const size_t wanted = names + (command == L"rate" ? 1 : 0);
    if (command == L"list") {
        if (!words.empty()) {
            error = "list takes no arguments";
            return false;
        }
        return true;
    }
    if (words.size() != wanted) {
        error = HostAsioText::Narrow(command) + " needs " +
                (viaDll ? "" : "a driver NAME (or --dll PATH)") +
                (command == L"rate" ? (viaDll ? "a rate HZ" : " and a rate HZ") : "");
        return false;
    }
    if (!viaDll) {
        stream.source.name = words[0];
    }
    if (command == L"rate") {
        double hz = 0;
        if (!ToNumber(words[names], 1, 100000000, hz)) {
            error = "the rate must be a number of Hz";
            return false;
        }
        rateHz = static_cast<uint32_t>(hz);
    }
    return true;
}

bool HostCommandLine::ParseOption(const std::vector<std::wstring>& args, size_t& i,
                                  std::string& error)
{
    const std::wstring& name = args[i];
    if (name == L"--no-timeinfo") {
        stream.timeInfo = false;
        return true;
    }
    if (name == L"--json") {
        json = true;
        return true;
    }
    if (i + 1 >= args.size()) {
        error = HostAsioText::Narrow(name) + " needs a value";
        return false;
    }
    const std::wstring& value = args[++i];
    double number = 0;
    bool ok = true;
    if (name == L"--dll") {
        stream.source.dllPath = value;
    } else if (name == L"--clsid") {
        ok = CLSIDFromString(value.c_str(), &stream.source.clsid) == NOERROR;
    } else if (name == L"--seconds") {
        ok = ToNumber(value, 0, 86400, number);
        stream.seconds = number;
    } else if (name == L"--rate") {
        ok = ToNumber(value, 1, 100000000, number);
        stream.rate = static_cast<uint32_t>(number);
    } else if (name == L"--frames") {
        ok = ToNumber(value, 1, 1 << 20, number);
        stream.frames = static_cast<long>(number);
    } else if (name == L"--channels") {
        return command == L"latency" ? ParseLoopChannels(value, error)
                                     : ParseChannels(value, error);
    } else if (name == L"--repeat") {
        ok = ToNumber(value, 1, 1000, number);
        repeats = static_cast<uint32_t>(number);
    } else if (name == L"--tone") {
        ok = ToNumber(value, 0, 1000000, number);
        stream.toneHz = number;
    } else if (name == L"--record") {
        stream.recordPath = value;
    } else if (name == L"--load") {
        ok = ToNumber(value, 0, 100, number);
        stream.loadPercent = static_cast<uint32_t>(number);
    } else if (name == L"--stall-ms") {
        ok = ToNumber(value, 100, 600000, number);
        stream.stallMs = static_cast<DWORD>(number);
    } else {
        error = "unknown option " + HostAsioText::Narrow(name);
        return false;
    }
    if (!ok) {
        error = "bad value '" + HostAsioText::Narrow(value) + "' for " + HostAsioText::Narrow(name);
    }
    return ok;
}

bool HostCommandLine::ParseChannels(const std::wstring& list, std::string& error)
{
    stream.channels.clear();
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(L',', start);
        std::wstring item =
            list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        double index = 0;
        if (item.size() < 2 || (item[0] != L'i' && item[0] != L'o') ||
            !ToNumber(item.substr(1), 0, 1023, index)) {
            error = "bad channel '" + HostAsioText::Narrow(item) +
                    "' in --channels (i<n> for input n, o<n> for output n, comma-separated)";
            return false;
        }
        stream.channels.push_back({item[0] == L'i', static_cast<long>(index)});
        if (comma == std::wstring::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

bool HostCommandLine::ParseLoopChannels(const std::wstring& list, std::string& error)
{
    const size_t comma = list.find(L',');
    double input = 0, output = 0;
    if (comma == std::wstring::npos || !ToNumber(list.substr(0, comma), 0, 1023, input) ||
        !ToNumber(list.substr(comma + 1), 0, 1023, output)) {
        error = "bad value '" + HostAsioText::Narrow(list) +
                "' for --channels (IN,OUT: the input and the output number)";
        return false;
    }
    loopInput = static_cast<long>(input);
    loopOutput = static_cast<long>(output);
    return true;
}
