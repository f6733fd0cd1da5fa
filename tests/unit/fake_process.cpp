// The fake process: mutexes, threads and waits, with Terminate throwing.
#include "fake_platform.h"
#include "fake_support.h"

void FakeProcess::CreateInstanceMutex(const WString& name, bool* alreadyExists) {
  createdMutexes.push_back(name);
  if (world_.Enter("CreateMutexW")) {
    *alreadyExists = world_.lastError == platform::kErrorAlreadyExists;
    return;
  }
  *alreadyExists = !existingMutexes.insert(name).second;
  world_.lastError = *alreadyExists ? platform::kErrorAlreadyExists : 0;
}

bool FakeProcess::RandomBytes(void* buffer, uint32_t count) {
  if (world_.Enter("RtlGenRandom")) return false;
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (uint32_t i = 0; i < count; ++i) bytes[i] = nextRandomByte++;
  return true;
}

std::optional<WString> FakeProcess::SystemErrorText(uint32_t code) {
  world_.Enter("FormatMessageW");
  auto text = errorTexts.find(code);
  if (text == errorTexts.end()) return std::nullopt;
  return text->second;
}

void FakeProcess::Sleep(uint32_t milliseconds) {
  world_.Enter("Sleep");
  sleeps.push_back(milliseconds);
}

uint32_t FakeProcess::WaitForProcess(platform::ProcessHandle process, uint32_t) {
  if (world_.Enter("WaitForSingleObject")) return platform::kWaitFailed;
  auto found = shell_.running.find(AsNumber(process));
  if (found == shell_.running.end()) return platform::kWaitFailed;
  if (found->second > 0) {
    --found->second;
    return platform::kWaitTimeout;
  }
  return platform::kWaitObject0;
}

void FakeProcess::CloseProcess(platform::ProcessHandle process) {
  world_.Enter("CloseHandle");
  shell_.running.erase(AsNumber(process));
  ++closedProcesses;
}

platform::ThreadHandle FakeProcess::StartThread(platform::ThreadProcedure procedure,
                                                void* parameter, uint32_t* newThreadId) {
  if (world_.Enter("CreateThread")) return nullptr;
  threads.push_back({procedure, parameter});
  *newThreadId = 100 + static_cast<uint32_t>(threads.size());
  return AsHandle(0x3000 + threads.size());
}

bool FakeProcess::WaitForThread(platform::ThreadHandle, uint32_t milliseconds) {
  world_.Enter("WaitForThread");
  return onWaitForThread ? onWaitForThread(milliseconds) : true;
}

void FakeProcess::Terminate(uint32_t code) {
  world_.Enter("ExitProcess");
  throw ProcessTerminated{code};
}
