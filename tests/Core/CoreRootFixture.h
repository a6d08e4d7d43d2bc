// A fresh working directory and a fresh Globals for one test; the Globals is torn down and
// deleted at the end, so the next test starts from nothing.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "Core/Globals.h"
#include "Core/ZelLogMng.h"
#include "support/TempDir.h"

namespace ZelTest {

class CoreRootTest : public ::testing::Test {
protected:
    CoreRootTest() : dir_(true) { Zel::Globals::GetSingleton(); }
    ~CoreRootTest() override { Zel::Globals::DeleteSingleton(); }

    Zel::Globals* G() { return Zel::Globals::GetSingleton(); }

    // The log file's text so far.
    std::string LogText() {
        Zel::ZelLogMng* log = G()->GetLogManager();
        if (!log)
            return std::string();
        // A relative path was opened in the test's directory, wherever the test went since.
        std::ifstream in(dir_.Path() / log->GetLogFilePath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    TempDir dir_;
};

}  // namespace ZelTest
