#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The checks every phone request passes: the token, the rate of requests per address, and the
// PIN's tries.
namespace linlangok {

using PhoneClock = std::chrono::steady_clock;

// bytes random bytes from the system's source (/dev/urandom), as lower-case hexadecimal.
// Raises std::runtime_error when the source cannot be read.
std::string RandomHex(size_t bytes);
// A PIN of digits random digits.
std::string RandomPin(size_t digits);

// Compares in a time that depends on the lengths alone, never on where the texts differ.
bool ConstantTimeEquals(std::string_view a, std::string_view b);

// The value of a cookie in a Cookie header ("a=1; k=…"); empty when it is not there.
std::string_view CookieValue(std::string_view header, std::string_view name);

// A token bucket per address: up to rate requests a second on average, in bursts of up to rate.
// Addresses idle long enough to have a full bucket again are forgotten when the table grows, so
// it stays bounded by the addresses active within a second. Not thread-safe.
class CRateLimiter {
public:
    explicit CRateLimiter(double requestsPerSecond);
    // Whether the request may go on; it is counted when it may.
    bool Admit(const std::string& address, PhoneClock::time_point now);

private:
    struct Bucket {
        double tokens;
        PhoneClock::time_point filled;
    };

    double m_rate;
    std::unordered_map<std::string, Bucket> m_buckets;
    size_t m_pruneAt = 1024;
};

// Wrong PINs: after kPinTries wrong ones in a row from one address or one phone session, that
// address and that session may not try again for kPinLockout, so that neither a new session nor
// another address starts the count afresh; and after kAllPinTries wrong ones from anywhere
// within kPinLockout nobody may, until the oldest of them is kPinLockout old, which bounds a
// guessing spread over many addresses. Not thread-safe.
class CPinTries {
public:
    static constexpr int kPinTries = 5;
    static constexpr size_t kAllPinTries = 20;
    static constexpr std::chrono::minutes kPinLockout {5};

    bool IsLockedOut(const std::string& address, const std::string& session, PhoneClock::time_point now) const;
    void Failed(const std::string& address, const std::string& session, PhoneClock::time_point now);
    void Succeeded(const std::string& address, const std::string& session);

private:
    struct Tries {
        int failures = 0;
        PhoneClock::time_point lockedUntil;
    };
    bool IsLockedOut(const std::string& key, PhoneClock::time_point now) const;
    void Failed(const std::string& key, PhoneClock::time_point now);

    std::unordered_map<std::string, Tries> m_tries; // by "a" + address and "s" + session
    std::vector<PhoneClock::time_point> m_recentFailures; // from anywhere, within kPinLockout
};

} // namespace linlangok
