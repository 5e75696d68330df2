// The timer's firmware side of the protocol.

#include "emulator/timer_emulator.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "core/link/timer_command.h"

namespace {

constexpr auto configImageSize = static_cast<std::size_t>(TimerMemoryMap::imageLength);
constexpr int addressBytesPerUpload = 3;
constexpr std::uint8_t trimSignBit = 0x10;
constexpr int trimModulus = 32;
constexpr std::uint8_t modelBit684 = 0x10;
constexpr int bytesPerKiB = 1024;
constexpr double nominalLedHz = 250000.0;
constexpr double trimStepFraction = 0.0075;

// The memory code the timer reports for its external memory: 0/1/2/4 for 0/32/64/128 KiB.
int memoryCodeFor(int memoryKiB) {
    switch (memoryKiB) {
    case 32:
        return 1;
    case 64:
        return 2;
    case 128:
        return 4;
    default:
        return 0;
    }
}

std::uint8_t noiseFor(std::uint8_t byte) {
    auto noise = static_cast<std::uint8_t>(byte ^ 0xFF);
    if (noise == TimerCommand::wake || noise == TimerCommand::wakeAnswerAlt ||
        noise == TimerCommand::acknowledge)
        noise ^= 0x80;
    return noise;
}

} // namespace

TimerEmulator::TimerEmulator(Model model, int memoryKiB, int firmwareMajor, int firmwareMinor)
    : model_(model), memoryKiB_(memoryCodeFor(memoryKiB) != 0 ? memoryKiB : 0), firmwareMajor_(firmwareMajor),
      firmwareMinor_(firmwareMinor) {
    parameter_.fill(TimerMemoryMap::erasedByte);
    external_.assign(static_cast<std::size_t>(memoryKiB_) * bytesPerKiB, TimerMemoryMap::erasedByte);
}

std::array<std::uint8_t, 2> TimerEmulator::identityBytes() const {
    const auto first =
        static_cast<std::uint8_t>((model_ == Model::Pic684 ? modelBit684 : 0) | memoryCodeFor(memoryKiB_));
    const auto second = static_cast<std::uint8_t>(((firmwareMajor_ & 0x0F) << 4) | (firmwareMinor_ & 0x0F));
    return {first, second};
}

double TimerEmulator::ledFrequencyHz() const {
    return nominalLedHz * (1.0 + oscillatorErrorPercent_ / 100.0) * (1.0 + trimStepFraction * trim_);
}

std::uint8_t TimerEmulator::noiseByte() const {
    return noiseFor(lastReceived_);
}

std::vector<std::uint8_t> TimerEmulator::strayThen(std::uint8_t byte) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(std::max(faults_.strayBytesBeforeEcho, 0)),
                                  noiseFor(byte));
    out.push_back(byte);
    return out;
}

std::vector<std::uint8_t> TimerEmulator::echo(std::uint8_t byte) {
    return strayThen(byte);
}

void TimerEmulator::reset() {
    state_ = State::Idle;
    testMode_ = false;
    tuning_ = false;
}

std::vector<std::uint8_t> TimerEmulator::receive(std::uint8_t byte) {
    ++counters_.bytesReceived;
    counters_.received.push_back(byte);
    lastReceived_ = byte;
    if (faults_.silent) return {};
    if (faults_.silentAfterBytes >= 0 && counters_.bytesReceived > faults_.silentAfterBytes) return {};
    if (faults_.garbageStream) return {noiseFor(byte)};

    switch (state_) {
    case State::Idle:
        return command(byte);
    case State::WriteAddress:
        address_ = byte;
        state_ = State::WriteCount;
        return echo(byte);
    case State::WriteCount:
        count_ = byte;
        index_ = 0;
        state_ = count_ > 0 ? State::WriteData : State::Idle;
        if (count_ == 0) ++counters_.writeBlocks;
        return echo(byte);
    case State::WriteData: {
        // The address byte wraps: a block running past cell 255 goes on at cell 0.
        const auto cell = static_cast<std::uint8_t>(address_ + index_);
        parameter_[cell] = faults_.flipStoredAddress == cell ? static_cast<std::uint8_t>(byte ^ 0x01) : byte;
        const bool faulty = faults_.hashFaultAfterByte >= 0 && index_ >= faults_.hashFaultAfterByte;
        if (++index_ == count_) {
            state_ = State::Idle;
            ++counters_.writeBlocks;
        }
        if (!faulty) return {TimerCommand::acknowledge};
        if (faults_.hashMissing) return {};
        return {noiseFor(TimerCommand::acknowledge)};
    }
    case State::UploadCount:
        count_ = byte;
        uploadAddress_ = 0;
        addressBytes_ = 0;
        state_ = State::UploadAddress;
        return echo(byte);
    case State::UploadAddress: {
        uploadAddress_ = (uploadAddress_ << 8) | byte;
        std::vector<std::uint8_t> out = echo(byte);
        if (++addressBytes_ == addressBytesPerUpload) {
            uploadData_.clear();
            state_ = count_ > 0 ? State::UploadData : State::UploadVerdict;
            if (count_ == 0) out.push_back(faults_.wrongChecksum ? 1 : 0);
        }
        return out;
    }
    case State::UploadData: {
        uploadData_.push_back(byte);
        if (static_cast<int>(uploadData_.size()) < count_) return {};
        state_ = State::UploadVerdict;
        std::uint8_t sum = 0;
        for (std::uint8_t data : uploadData_)
            sum = static_cast<std::uint8_t>(sum + data);
        if (faults_.wrongChecksum) ++sum;
        return {sum};
    }
    case State::UploadVerdict:
        if (byte == TimerCommand::confirmUpload) {
            state_ = State::Idle;
            if (!external_.empty()) {
                for (std::size_t i = 0; i < uploadData_.size(); ++i)
                    external_[(uploadAddress_ + i) % external_.size()] = uploadData_[i];
            }
            ++counters_.uploadBlocksConfirmed;
            std::vector<std::uint8_t> out = echo(byte);
            if (!faults_.confirmWithoutHash) out.push_back(TimerCommand::acknowledge);
            return out;
        }
        if (byte == TimerCommand::rejectUpload) {
            state_ = State::Idle;
            ++counters_.uploadBlocksRejected;
            return echo(byte);
        }
        // Anything else abandons the block and is taken as a new command.
        state_ = State::Idle;
        return command(byte);
    case State::Tuning:
        if (byte <= TimerCommand::trimMask) {
            trim_ = (byte & trimSignBit) ? byte - trimModulus : byte;
            if (trimObserver_) trimObserver_(trim_, ledFrequencyHz());
            return echo(byte);
        }
        if (byte == TimerCommand::endTuning) {
            tuning_ = false;
            state_ = State::Idle;
            return echo(byte);
        }
        return {};
    }
    return {};
}

std::vector<std::uint8_t> TimerEmulator::command(std::uint8_t byte) {
    switch (byte) {
    case TimerCommand::wake:
        ++counters_.wakeCount;
        return strayThen(faults_.wakeAnswersGreater ? TimerCommand::wakeAnswerAlt : TimerCommand::wake);
    case TimerCommand::identify: {
        std::vector<std::uint8_t> out = echo(byte);
        const auto identity = identityBytes();
        const std::size_t sent =
            faults_.identityBytes >= 0
                ? std::min(static_cast<std::size_t>(faults_.identityBytes), identity.size())
                : identity.size();
        out.insert(out.end(), identity.begin(), identity.begin() + static_cast<std::ptrdiff_t>(sent));
        return out;
    }
    case TimerCommand::readConfiguration: {
        std::vector<std::uint8_t> out = echo(byte);
        const std::size_t imageBytes =
            faults_.imageBytes >= 0 ? std::min(static_cast<std::size_t>(faults_.imageBytes), configImageSize)
                                    : configImageSize;
        out.insert(out.end(), parameter_.begin(),
                   parameter_.begin() + static_cast<std::ptrdiff_t>(imageBytes));
        return out;
    }
    case TimerCommand::writeMemory:
        state_ = State::WriteAddress;
        return echo(byte);
    case TimerCommand::upload:
        state_ = State::UploadCount;
        return echo(byte);
    case TimerCommand::apply:
        ++counters_.applyCount;
        return echo(byte);
    case TimerCommand::testMode:
        testMode_ = true;
        return echo(byte);
    case TimerCommand::startTuning:
        tuning_ = true;
        state_ = State::Tuning;
        return echo(byte);
    default:
        // The firmware ignores bytes that start no command.
        return {};
    }
}

namespace {

// A memory image of exactly size bytes; nothing else is taken for one.
bool loadImage(const std::string& path, std::uint8_t* memory, std::size_t size) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<char> bytes(size);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) return false;
    // A longer file is no memory image of this timer.
    if (file.peek() != std::ifstream::traits_type::eof()) return false;
    std::copy(bytes.begin(), bytes.end(), memory);
    return true;
}

bool saveImage(const std::string& path, const std::uint8_t* memory, std::size_t size) {
    // Written aside and renamed, so that a failed save never leaves half a memory behind.
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        file.write(reinterpret_cast<const char*>(memory), static_cast<std::streamsize>(size));
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

bool TimerEmulator::loadParameterMemory(const std::string& path) {
    return loadImage(path, parameter_.data(), parameter_.size());
}

bool TimerEmulator::saveParameterMemory(const std::string& path) const {
    return saveImage(path, parameter_.data(), parameter_.size());
}

bool TimerEmulator::loadExternalMemory(const std::string& path) {
    return loadImage(path, external_.data(), external_.size());
}

bool TimerEmulator::saveExternalMemory(const std::string& path) const {
    return saveImage(path, external_.data(), external_.size());
}
