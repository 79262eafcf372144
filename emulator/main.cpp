// velkor-emu: the registrar emulator on a pseudo-terminal, for people and for tools/demo.
#include "ptyemulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

emu::PtyEmulator* g_emulator = nullptr;

void onSignal(int)
{
    if (g_emulator)
        g_emulator->requestStop();
}

std::set<unsigned> numbers(const char* list)
{
    std::set<unsigned> result;
    std::stringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ','))
        result.insert(unsigned(std::strtoul(item.c_str(), nullptr, 10)));
    return result;
}

// "3:lose,5:nak,9:hold,12:a5": position, then lose, hold, ack, nak, stx, enq or a hex byte.
bool byteFaults(const char* list, std::map<unsigned, emu::ByteFault>* faults)
{
    std::stringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const size_t colon = item.find(':');
        if (colon == std::string::npos)
            return false;
        char* end = nullptr;
        const unsigned long position = std::strtoul(item.c_str(), &end, 10);
        if (end != item.c_str() + colon || position == 0)
            return false;
        const std::string kind = item.substr(colon + 1);
        emu::ByteFault fault;
        if (kind == "lose")
            fault = {emu::ByteFault::Lose, 0};
        else if (kind == "hold")
            fault = {emu::ByteFault::Hold, 0};
        else if (kind == "ack")
            fault = {emu::ByteFault::Replace, 0x06};
        else if (kind == "nak")
            fault = {emu::ByteFault::Replace, 0x15};
        else if (kind == "stx")
            fault = {emu::ByteFault::Replace, 0x02};
        else if (kind == "enq")
            fault = {emu::ByteFault::Replace, 0x05};
        else {
            const unsigned long value = std::strtoul(kind.c_str(), &end, 16);
            if (kind.empty() || *end != '\0' || value > 0xFF)
                return false;
            fault = {emu::ByteFault::Replace, uint8_t(value)};
        }
        (*faults)[unsigned(position)] = fault;
    }
    return true;
}

int usage()
{
    std::cerr << "usage: velkor-emu [--link PATH] [--baud RATE] [--pace] [--delay MS]\n"
                 "                  [--silent] [--pending] [--corrupt N,...] [--lose N,...]\n"
                 "                  [--zero-length N,...] [--ignore N,...] [--garbage N,...]\n"
                 "                  [--corrupt-rate P] [--drop-rate P] [--garbage-rate P]\n"
                 "                  [--stall-rate P] [--lose-rate P] [--seed N]\n"
                 "                  [--fault N:KIND,...] [--hold MS] [--byte-lose-rate P]\n"
                 "                  [--byte-replace-rate P] [--byte-hold-rate P]\n"
                 "Serves an emulated registrar on a pseudo-terminal until interrupted,\n"
                 "at 115200 bit/s unless --baud says otherwise.\n"
                 "N counts reply frames (--corrupt, --lose, --zero-length), host frames\n"
                 "(--ignore), ENQs (--garbage) or the bytes the device sends (--fault) from 1;\n"
                 "P is a probability from 0 to 1. A --fault KIND is lose, hold (the byte and\n"
                 "those after it come --hold MS late, 1500 by default), ack, nak, stx, enq or\n"
                 "a byte in hexadecimal, which the host reads in the byte's place.\n"
                 "Standard output has a line per command executed and per fault injected\n"
                 "(\"fault: reply 3: checksum damaged\"), numbered as the options count.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    emu::FaultPlan plan;
    std::string link;
    int baud = 115200;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() { return argv[++i]; };
        if (arg == "--pace")
            plan.pace = true;
        else if (arg == "--silent")
            plan.silent = true;
        else if (arg == "--pending")
            plan.pendingAtStart = true;
        else if (!hasValue)
            return usage();
        else if (arg == "--link")
            link = value();
        else if (arg == "--baud")
            baud = std::atoi(value());
        else if (arg == "--delay")
            plan.replyDelayMs = std::atoi(value());
        else if (arg == "--corrupt")
            plan.corruptReplies = numbers(value());
        else if (arg == "--lose")
            plan.loseReplies = numbers(value());
        else if (arg == "--zero-length")
            plan.zeroLengthReplies = numbers(value());
        else if (arg == "--ignore")
            plan.ignoreFrames = numbers(value());
        else if (arg == "--garbage")
            plan.garbageEnqs = numbers(value());
        else if (arg == "--corrupt-rate")
            plan.corruptRate = std::atof(value());
        else if (arg == "--drop-rate")
            plan.dropByteRate = std::atof(value());
        else if (arg == "--garbage-rate")
            plan.garbageRate = std::atof(value());
        else if (arg == "--stall-rate")
            plan.stallRate = std::atof(value());
        else if (arg == "--lose-rate")
            plan.loseRate = std::atof(value());
        else if (arg == "--fault") {
            if (!byteFaults(value(), &plan.byteFaults))
                return usage();
        } else if (arg == "--hold")
            plan.holdMs = std::atoi(value());
        else if (arg == "--byte-lose-rate")
            plan.byteLoseRate = std::atof(value());
        else if (arg == "--byte-replace-rate")
            plan.byteReplaceRate = std::atof(value());
        else if (arg == "--byte-hold-rate")
            plan.byteHoldRate = std::atof(value());
        else if (arg == "--seed")
            plan.seed = uint32_t(std::strtoul(value(), nullptr, 10));
        else
            return usage();
    }
    if (emu::DeviceModel::codeOfBaud(baud) < 0) {
        std::cerr << "velkor-emu: the device speaks 2400 to 115200 bit/s, not " << baud << "\n";
        return 2;
    }

    emu::PtyEmulator emulator(plan, baud);
    if (!emulator.open(link)) {
        std::cerr << "velkor-emu: " << emulator.error() << "\n";
        return 1;
    }
    emulator.setSummaryHandler([](const std::string& line) { std::cout << line << std::endl; });
    g_emulator = &emulator;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::cout << "Port: " << emulator.portPath() << " at " << baud << " bit/s" << std::endl;
    emulator.run();
    return 0;
}
