// velkor-emu: the registrar emulator on a pseudo-terminal, for people and for tools/demo.
#include "ptyemulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
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

int usage()
{
    std::cerr << "usage: velkor-emu [--link PATH] [--baud RATE] [--pace] [--delay MS]\n"
                 "                  [--silent] [--pending] [--corrupt N,...] [--lose N,...]\n"
                 "                  [--zero-length N,...] [--ignore N,...] [--garbage N,...]\n"
                 "                  [--corrupt-rate P] [--drop-rate P] [--garbage-rate P]\n"
                 "                  [--stall-rate P] [--lose-rate P] [--seed N]\n"
                 "Serves an emulated registrar on a pseudo-terminal until interrupted.\n"
                 "N counts reply frames (--corrupt, --lose, --zero-length), host frames\n"
                 "(--ignore) or ENQs (--garbage) from 1; P is a probability from 0 to 1.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    emu::FaultPlan plan;
    std::string link;
    int baud = 4800;
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
