// sha256_speed.exe [MIB]
//
// How fast the program's SHA-256 runs here (src/payload/sha256.h), with the
// processor's SHA instructions where it has them and with the portable
// rounds, beside Windows' own CNG (bcrypt.dll): each over MIB MiB (default
// 512) in the installer's 256 KiB chunks, the best of three. Prints one JSON
// line of MiB/s.

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "payload/sha256.h"
#include "payload/sha256_rounds.h"

namespace {

constexpr size_t kChunkBytes = 256 * 1024;

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Hash>
double BestMibPerSecond(const std::vector<uint8_t>& bytes, Hash hash) {
  double best = 0;
  for (int run = 0; run < 3; ++run) {
    const double start = Now();
    hash(bytes);
    const double seconds = Now() - start;
    const double speed = static_cast<double>(bytes.size()) / 1048576.0 / seconds;
    if (speed > best) best = speed;
  }
  return best;
}

void Ours(const std::vector<uint8_t>& bytes) {
  payload::Sha256 sha256;
  for (size_t at = 0; at < bytes.size(); at += kChunkBytes)
    sha256.Add(bytes.data() + at, kChunkBytes);
  volatile uint8_t sink = sha256.Finish()[0];
  (void)sink;
}

void Portable(const std::vector<uint8_t>& bytes) {
  uint32_t state[8] = {};
  payload::Sha256PortableRounds(state, bytes.data(), bytes.size() / 64);
  volatile uint32_t sink = state[0];
  (void)sink;
}

// CNG, loaded at run time as a program would that must not import it.
double Cng(const std::vector<uint8_t>& bytes) {
  HMODULE bcrypt = LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (bcrypt == nullptr) return 0;
  using Open = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
  using Create = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR,
                                   ULONG, ULONG);
  using Data = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
  using Finish = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
  using Destroy = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE);
  auto open = reinterpret_cast<Open>(
      reinterpret_cast<void*>(GetProcAddress(bcrypt, "BCryptOpenAlgorithmProvider")));
  auto create =
      reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(bcrypt, "BCryptCreateHash")));
  auto data =
      reinterpret_cast<Data>(reinterpret_cast<void*>(GetProcAddress(bcrypt, "BCryptHashData")));
  auto finish =
      reinterpret_cast<Finish>(reinterpret_cast<void*>(GetProcAddress(bcrypt, "BCryptFinishHash")));
  auto destroy = reinterpret_cast<Destroy>(
      reinterpret_cast<void*>(GetProcAddress(bcrypt, "BCryptDestroyHash")));
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!open || !create || !data || !finish || !destroy ||
      open(&algorithm, L"SHA256", nullptr, 0) != 0)
    return 0;
  return BestMibPerSecond(bytes, [&](const std::vector<uint8_t>& all) {
    BCRYPT_HASH_HANDLE hash = nullptr;
    create(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    for (size_t at = 0; at < all.size(); at += kChunkBytes)
      data(hash, const_cast<PUCHAR>(all.data() + at), kChunkBytes, 0);
    UCHAR digest[32];
    finish(hash, digest, sizeof digest, 0);
    destroy(hash);
  });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const size_t mib = argc > 1 ? static_cast<size_t>(std::wcstoul(argv[1], nullptr, 10)) : 512;
  std::vector<uint8_t> bytes(mib * 1048576);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 13));
  const double ours = BestMibPerSecond(bytes, Ours);
  const double portable = BestMibPerSecond(bytes, Portable);
  const double cng = Cng(bytes);
  std::printf(
      "{\"mib\": %u, \"sha_instructions\": %s, \"ours\": %.0f, \"portable\": %.0f, \"cng\": "
      "%.0f}\n",
      static_cast<unsigned>(mib), payload::Sha256UsesProcessorInstructions() ? "true" : "false",
      ours, portable, cng);
  return 0;
}
