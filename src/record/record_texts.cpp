#include "record/record_texts.h"

#include <cerrno>
#include <system_error>

namespace record_texts {

namespace {

// The reason for an errno value in words a user can act on.
std::string Reason(int error) {
    if (error == EWOULDBLOCK || error == EAGAIN) return "the file is in use by another program";
    if (error == ENXIO) return "it is a pipe that no program reads from";
    return std::generic_category().message(error);
}

}  // namespace

std::string CreateFailedText(const std::string& path, int error) {
    return "Cannot create the record file " + path + ": " + Reason(error) +
           ". Choose another folder or file name.";
}

std::string WriteFailedText(const std::string& path, int error, std::uint64_t lostBytes) {
    if (error == EPIPE || error == ECANCELED) {
        return "Recording stopped: the program reading " + path +
               " stopped reading: " + std::to_string(lostBytes) +
               " bytes were not written. Every byte written before is kept.";
    }
    if (error == ENOENT) {
        return "Recording stopped: the record file " + path +
               " was deleted during the recording; the bytes written into it are gone. Start "
               "Record again to "
               "record into a new file.";
    }
    return "Recording stopped: writing " + path + " failed: " + Reason(error) +
           ". Every byte written before the failure is kept.";
}

std::string RunFailedText(const std::string& failure) {
    return "Recording not started: " + failure;
}

std::string StreamLossText(std::uint64_t overruns, std::uint64_t bytesLost) {
    const std::uint64_t megabytes =
        bytesLost / (std::uint64_t{1024} * 1024);  // the MB of the size limit
    const std::string lost =
        megabytes > 0 ? "at least " + std::to_string(megabytes) + " MB of the stream were"
                      : "part of the stream was";
    if (overruns == 1) {
        return "The tuner's buffer overran once during this recording, as the stream was not read "
               "in time: " +
               lost + " lost, so the recording has a gap there.";
    }
    const std::string times = std::to_string(overruns);
    return "The tuner's buffer overran " + times +
           " times during this recording, as the stream was not read in time: " + lost +
           " lost, so the recording has gaps at those " + times + " places.";
}

}  // namespace record_texts
