// The runner's enumerations with the platform values they stand for, its event types and its
// two start-up errors.
#pragma once

#include "toolkit/Component.h"
#include "toolkit/OutputType.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

enum TReturnCode : uint8_t { rcCRLF, rcLF };

// The progress and outcome of a run, as the runner's EndStatus holds it. The even codes below 8
// are stages; a failure turns the stage reached into the odd code after it.
enum TEndStatus : uint8_t {
    esBegun = 0,
    esFailedBeforeBuffers = 1,
    esCreatingPipes = 2,
    esFailedCreatingPipes = 3,
    esStartingChild = 4,
    esFailedStartingChild = 5,
    esChildRunning = 6,
    esFailedWhileRunning = 7,
    esChildEnded = 8,
    esStopped = 9,
    esTimedOut = 10
};

// True for the stages, whose failure codes follow them.
inline bool IsStage(uint8_t status)
{
    return status == esBegun || status == esCreatingPipes || status == esStartingChild || status == esChildRunning;
}

enum TShowWindow : uint8_t {
    swHIDE,
    swMAXIMIZE,
    swMINIMIZE,
    swRESTORE,
    swSHOW,
    swSHOWDEFAULT,
    swSHOWMAXIMIZED,
    swSHOWMINIMIZED,
    swSHOWMINNOACTIVE,
    swSHOWNA,
    swSHOWNOACTIVATE,
    swSHOWNORMAL
};

// The show-window value given to the child's start-up information, by ordinal.
inline constexpr std::array<uint16_t, 12> ShowWindowValues = {0, 3, 6, 9, 5, 10, 3, 2, 7, 8, 4, 1};

enum TCreationFlag : uint8_t {
    fCREATE_DEFAULT_ERROR_MODE,
    fCREATE_NEW_CONSOLE,
    fCREATE_NEW_PROCESS_GROUP,
    fCREATE_SEPARATE_WOW_VDM,
    fCREATE_SHARED_WOW_VDM,
    fCREATE_SUSPENDED,
    fCREATE_UNICODE_ENVIRONMENT,
    fDEBUG_PROCESS,
    fDEBUG_ONLY_THIS_PROCESS,
    fDETACHED_PROCESS
};

// The process-creation flag, by ordinal.
inline constexpr std::array<uint32_t, 10> CreationFlagValues = {
    0x04000000, 0x10, 0x200, 0x800, 0x1000, 0x4, 0x400, 0x1, 0x2, 0x8,
};

inline constexpr uint32_t NORMAL_PRIORITY_CLASS_VALUE = 32;
// What the platform reports as the exit code of a process that still runs.
inline constexpr uint32_t STILL_ACTIVE_CODE = 259;

using TNewLineEvent = std::function<void(TObject* Sender, const std::string& NewLine, TOutputType OutputType)>;
using TTerminateEvent = std::function<void(TObject* Sender, uint32_t ExitCode)>;
// The child could not be started (no pipe, or no process), with the system's reason: raised in
// the worker thread, before the end of the run is reported.
using TStartFailedEvent =
    std::function<void(TObject* Sender, const std::exception_ptr& Failure, uint32_t SystemCode)>;

class TCreatePipeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TCreateProcessError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
