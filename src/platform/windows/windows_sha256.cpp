// The package digest from the system's BCrypt. bcrypt.dll is loaded by name from the system
// folder only, never from the program's folder or the current one, and never imported: a
// planted bcrypt.dll beside the program is not loaded, and a program that never digests a
// file never loads it.
#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <limits>

#include "package/package_digest.h"

namespace quenfall {

namespace {

using OpenProvider = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using CloseProvider = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);
using CreateHash = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using HashData = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using FinishHash = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using DestroyHash = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE);

struct BCryptCalls {
    OpenProvider Open = nullptr;
    CloseProvider Close = nullptr;
    CreateHash Create = nullptr;
    HashData Data = nullptr;
    FinishHash Finish = nullptr;
    DestroyHash Destroy = nullptr;
    bool Complete() const { return Open && Close && Create && Data && Finish && Destroy; }
};

template <typename Call>
Call Find(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loaded once; the module stays for the life of the process.
const BCryptCalls& Calls() {
    static const BCryptCalls calls = [] {
        BCryptCalls c;
        const HMODULE module = LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) return c;
        c.Open = Find<OpenProvider>(module, "BCryptOpenAlgorithmProvider");
        c.Close = Find<CloseProvider>(module, "BCryptCloseAlgorithmProvider");
        c.Create = Find<CreateHash>(module, "BCryptCreateHash");
        c.Data = Find<HashData>(module, "BCryptHashData");
        c.Finish = Find<FinishHash>(module, "BCryptFinishHash");
        c.Destroy = Find<DestroyHash>(module, "BCryptDestroyHash");
        return c;
    }();
    return calls;
}

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

std::optional<Sha256Digest> ComputeSha256(std::span<const std::uint8_t> bytes) {
    const BCryptCalls& c = Calls();
    if (!c.Complete()) return std::nullopt;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(c.Open(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return std::nullopt;
    std::optional<Sha256Digest> result;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (Succeeded(c.Create(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
        bool fed = true;
        // BCryptHashData takes at most a ULONG at a time.
        constexpr std::size_t Most = std::numeric_limits<ULONG>::max();
        for (std::size_t at = 0; fed && at < bytes.size(); at += Most) {
            const std::size_t n = std::min(Most, bytes.size() - at);
            fed = Succeeded(c.Data(hash, const_cast<PUCHAR>(bytes.data() + at), static_cast<ULONG>(n), 0));
        }
        Sha256Digest digest{};
        if (fed && Succeeded(c.Finish(hash, digest.data(), static_cast<ULONG>(digest.size()), 0))) result = digest;
        c.Destroy(hash);
    }
    c.Close(algorithm, 0);
    return result;
}

}  // namespace quenfall
