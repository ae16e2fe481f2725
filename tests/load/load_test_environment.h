#pragma once
// What both load tests stand on: temporary folders for the program folder, "drive C" and the
// configuration folder (so the settings, the record files, the log, the simulated card's trace
// and the tuning-space store stay out of the user's home), the platform classes registered, and
// message boxes recorded instead of shown. Everything is restored and removed at the end.
//
// The program folder lies in memory (/dev/shm) where there is one. "Lock TP" saves the settings
// file twice, each of its nine keys as a durable replacement of the file (two fsyncs), so on a
// disk a cycle waits some 200 ms for the disk alone; in memory the same calls cost microseconds
// and the cycles measure the program rather than the disk.
#include <string>

#include "support/message_box_recorder.h"
#include "support/temp_folder.h"

class CLoadTestEnvironment {
public:
    CLoadTestEnvironment();
    ~CLoadTestEnvironment();
    CLoadTestEnvironment(const CLoadTestEnvironment&) = delete;
    CLoadTestEnvironment& operator=(const CLoadTestEnvironment&) = delete;

    // A file in "drive C"; ProgramFile: one in the program folder.
    std::string File(const std::string& name) const { return m_folder.File(name); }
    std::string ProgramFile(const std::string& name) const {
        return m_strProgramFolder + "/" + name;
    }
    bool ProgramFolderInMemory() const { return m_bProgramFolderInMemory; }
    CMessageBoxRecorder& Boxes() { return m_boxes; }

    // The satellite files that the build generates beside the program.
    static std::string BuildTranspondersFolder();

private:
    CTempFolder m_folder;
    std::string m_strProgramFolder;
    bool m_bProgramFolderInMemory = false;
    CMessageBoxRecorder m_boxes;
};
