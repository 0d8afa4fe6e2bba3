// The Windows process backend: two anonymous pipes and a child started from the command line
// alone, put into a job object so that nothing it started outlives the run or the program.
#include "runner/ConsoleRunner.h"
#include "runner/ProcessBackend.h"
#include "runner/ProcessWin32.h"
#include "toolkit/HandlesWin32.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace {

// Deletes an initialised attribute list when the start is over.
class TAttributeList {
public:
    explicit TAttributeList(DWORD count)
    {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, count, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (InitializeProcThreadAttributeList(list, count, 0, &size))
            list_ = list;
    }
    ~TAttributeList()
    {
        if (list_)
            DeleteProcThreadAttributeList(list_);
    }
    TAttributeList(const TAttributeList&) = delete;
    TAttributeList& operator=(const TAttributeList&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

UniqueHandle CreateKillOnCloseJob()
{
    UniqueHandle job(CreateJobObjectA(nullptr, nullptr));
    if (!job.Valid())
        return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job.Reset();
    return job;
}

class TWin32Child : public IChildProcess {
public:
    ~TWin32Child() override
    {
        if (process_.Valid() && !ended_)
            Terminate();
    }

    bool CreateInputPipe() override
    {
        if (!CreatePipeInto(inputRead_, inputWrite_))
            return false;
        DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
        SetNamedPipeHandleState(inputWrite_.Get(), &mode, nullptr, nullptr);
        return true;
    }

    bool CreateOutputPipe() override
    {
        if (CreatePipeInto(outputRead_, outputWrite_))
            return true;
        inputRead_.Reset();
        inputWrite_.Reset();
        return false;
    }

    bool Start(const TChildStartInfo& info) override
    {
        if (!SetHandleInformation(inputRead_.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) ||
            !SetHandleInformation(outputWrite_.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
            return Failed();
        HANDLE inherited[] = {inputRead_.Get(), outputWrite_.Get()};
        TAttributeList attributeList(1);
        if (!attributeList.Get() ||
            !UpdateProcThreadAttribute(attributeList.Get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                       sizeof inherited, nullptr, nullptr))
            return Failed();

        STARTUPINFOEXA startup = {};
        GetStartupInfoA(&startup.StartupInfo);
        startup.StartupInfo.cb = sizeof startup;
        startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
        startup.StartupInfo.wShowWindow = info.showWindow;
        startup.StartupInfo.hStdInput = inputRead_.Get();
        startup.StartupInfo.hStdOutput = outputWrite_.Get();
        startup.StartupInfo.hStdError = outputWrite_.Get();
        // The C runtime's table of inherited descriptors describes our handles, not the child's.
        startup.StartupInfo.cbReserved2 = 0;
        startup.StartupInfo.lpReserved2 = nullptr;
        startup.lpAttributeList = attributeList.Get();

        // Suspended until it is in the job, so that nothing it starts escapes the job.
        const bool keepSuspended = (info.creationFlags & CREATE_SUSPENDED) != 0;
        const DWORD flags = info.creationFlags | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED;
        std::vector<char> commandLine(info.commandLine.begin(), info.commandLine.end());
        commandLine.push_back('\0');
        PROCESS_INFORMATION started = {};
        const char* application = info.applicationName.empty() ? nullptr : info.applicationName.c_str();
        if (!CreateProcessA(application, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                            &startup.StartupInfo, &started))
            return Failed();
        process_.Reset(started.hProcess);
        thread_.Reset(started.hThread);

        job_ = CreateKillOnCloseJob();
        if (job_.Valid() && !AssignProcessToJobObject(job_.Get(), process_.Get()))
            job_.Reset(); // without a job the child is still ended by Terminate
        if (!keepSuspended)
            ResumeThread(thread_.Get());

        // Our copies of the child's ends would keep its pipes open after it ends.
        inputRead_.Reset();
        outputWrite_.Reset();
        return true;
    }

    // The end is the signalled process handle, so a child whose exit code is 259 still ends.
    bool HasEnded(uint32_t& exitCode) override
    {
        const bool knownRunning = std::exchange(pauseSawItRunning_, false);
        if (!ended_ && !knownRunning && WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process_.Get(), &code);
            exitCode_ = code;
            ended_ = true;
        }
        exitCode = exitCode_;
        return ended_;
    }

    void Peek(std::size_t size, std::size_t& copied, std::size_t& available) override
    {
        DWORD waiting = 0;
        if (!PeekNamedPipe(outputRead_.Get(), nullptr, 0, nullptr, &waiting, nullptr))
            waiting = 0; // broken once the child and all it started have gone
        available = waiting;
        copied = available < size ? available : size;
    }

    bool OutputClosed() override
    {
        DWORD waiting = 0;
        return !PeekNamedPipe(outputRead_.Get(), nullptr, 0, nullptr, &waiting, nullptr) &&
               GetLastError() == ERROR_BROKEN_PIPE;
    }

    std::size_t Read(char* buffer, std::size_t size) override
    {
        DWORD count = 0;
        if (!ReadFile(outputRead_.Get(), buffer, static_cast<DWORD>(size), &count, nullptr))
            return 0;
        return count;
    }

    // Our end of the input pipe does not wait (PIPE_NOWAIT): a write takes what fits, and the
    // rest waits here in small steps, so that a stop or a time limit reaches a worker whose child
    // reads nothing.
    std::size_t Write(const char* data, std::size_t size, const std::function<bool()>& giveUp) override
    {
        std::size_t taken = 0;
        while (taken < size && !giveUp()) {
            DWORD written = 0;
            if (!WriteFile(inputWrite_.Get(), data + taken, static_cast<DWORD>(size - taken), &written, nullptr))
                break; // the child has closed its input
            taken += written;
            if (taken < size && written == 0)
                Sleep(1);
        }
        return taken;
    }

    void Terminate() override
    {
        TerminateProcess(process_.Get(), 0);
        if (job_.Valid())
            TerminateJobObject(job_.Get(), 0);
    }

    void CloseProcess() override
    {
        thread_.Reset();
        process_.Reset();
        job_.Reset(); // ends whatever the child left running
    }

    void ClosePipes() override
    {
        inputRead_.Reset();
        outputWrite_.Reset();
        outputRead_.Reset();
        inputWrite_.Reset();
    }

    // The pause waits on the child itself: one system call serves as both the pause and the next
    // cycle's end test, which halves the cost of an idle cycle.
    void Pause(uint32_t milliseconds) override
    {
        if (ended_ || !process_.Valid()) {
            Sleep(milliseconds);
            return;
        }
        pauseSawItRunning_ = WaitForSingleObject(process_.Get(), milliseconds) == WAIT_TIMEOUT;
    }

    uint32_t LastError() const override { return lastError_ != 0 ? lastError_ : GetLastError(); }

private:
    bool CreatePipeInto(UniqueHandle& readEnd, UniqueHandle& writeEnd)
    {
        return CreateRunPipe(readEnd, writeEnd) || Failed();
    }

    bool Failed()
    {
        lastError_ = GetLastError();
        return false;
    }

    UniqueHandle inputRead_, inputWrite_, outputRead_, outputWrite_;
    UniqueHandle process_, thread_, job_;
    bool ended_ = false;
    bool pauseSawItRunning_ = false;
    uint32_t exitCode_ = STILL_ACTIVE_CODE;
    DWORD lastError_ = 0;
};

class TWin32Backend : public IProcessBackend {
public:
    std::unique_ptr<IChildProcess> NewChild() override { return std::make_unique<TWin32Child>(); }
};

// Grants this process's user and the system full access, and nobody else any: a NULL DACL would
// let any user's process on this computer open a run's pipe and write a forged report into it.
// Built explicitly rather than left to the default, which some systems leave without a DACL.
class TOwnerOnlySecurity {
public:
    TOwnerOnlySecurity()
    {
        if (!ReadUserSid() || !CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid_, &systemSidSize_))
            return;
        PSID user = reinterpret_cast<TOKEN_USER*>(tokenUser_.data())->User.Sid;
        acl_.resize(sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user) + GetLengthSid(systemSid_));
        auto* acl = reinterpret_cast<PACL>(acl_.data());
        valid_ = InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, user) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, systemSid_) &&
                 InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
    }
    TOwnerOnlySecurity(const TOwnerOnlySecurity&) = delete;
    TOwnerOnlySecurity& operator=(const TOwnerOnlySecurity&) = delete;

    // Nothing when the descriptor could not be built: the caller must not fall back to none.
    PSECURITY_DESCRIPTOR Descriptor() { return valid_ ? &descriptor_ : nullptr; }

private:
    bool ReadUserSid()
    {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return false;
        UniqueHandle owned(token);
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        tokenUser_.resize(size);
        return size > 0 && GetTokenInformation(token, TokenUser, tokenUser_.data(), size, &size);
    }

    std::vector<BYTE> tokenUser_;
    BYTE systemSid_[SECURITY_MAX_SID_SIZE] = {};
    DWORD systemSidSize_ = sizeof systemSid_;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_ = {};
    bool valid_ = false;
};

// The runner's tables stand for the platform's own values, entry by entry, in the order of the
// runner's enumerations.
constexpr std::array<uint16_t, swSHOWNORMAL + 1> kPlatformShowWindow = {
    SW_HIDE, SW_MAXIMIZE, SW_MINIMIZE, SW_RESTORE, SW_SHOW, SW_SHOWDEFAULT,
    SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE, SW_SHOWNA, SW_SHOWNOACTIVATE, SW_SHOWNORMAL};
static_assert(ShowWindowValues == kPlatformShowWindow);
constexpr std::array<uint32_t, fDETACHED_PROCESS + 1> kPlatformCreationFlags = {
    CREATE_DEFAULT_ERROR_MODE, CREATE_NEW_CONSOLE, CREATE_NEW_PROCESS_GROUP, CREATE_SEPARATE_WOW_VDM,
    CREATE_SHARED_WOW_VDM, CREATE_SUSPENDED, CREATE_UNICODE_ENVIRONMENT, DEBUG_PROCESS, DEBUG_ONLY_THIS_PROCESS,
    DETACHED_PROCESS};
static_assert(CreationFlagValues == kPlatformCreationFlags);
static_assert(NORMAL_PRIORITY_CLASS_VALUE == NORMAL_PRIORITY_CLASS);
static_assert(STILL_ACTIVE_CODE == STILL_ACTIVE);
static_assert(INTERNAL_ERROR_CODE == ERROR_INTERNAL_ERROR);

} // namespace

bool CreateRunPipe(UniqueHandle& readEnd, UniqueHandle& writeEnd)
{
    TOwnerOnlySecurity security;
    if (!security.Descriptor())
        return false;
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = security.Descriptor();
    attributes.bInheritHandle = FALSE;
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &attributes, 0))
        return false;
    readEnd.Reset(read);
    writeEnd.Reset(write);
    return true;
}

std::shared_ptr<IProcessBackend> DefaultProcessBackend()
{
    return std::make_shared<TWin32Backend>();
}

TConsoleRunner::TConsoleRunner(TComponent* owner, IUiThread& ui) : TConsoleRunner(owner, ui, DefaultProcessBackend())
{
}
