#include "core/phone/PhoneGuard.h"

#include "common/Translation.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace linlangok {

std::string RandomHex(size_t bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    try {
        std::random_device source("/dev/urandom");
        std::uniform_int_distribution<unsigned> byte(0, 255);
        for (size_t i = 0; i < bytes; ++i) {
            const unsigned value = byte(source);
            hex += kDigits[value >> 4];
            hex += kDigits[value & 15];
        }
    } catch (const std::exception&) {
        throw std::runtime_error(TrUtf8("PhoneGuard", "无法读取系统的随机数来源（/dev/urandom）。"));
    }
    return hex;
}

std::string RandomPin(size_t digits)
{
    std::string pin;
    std::random_device source("/dev/urandom");
    std::uniform_int_distribution<int> digit(0, 9);
    for (size_t i = 0; i < digits; ++i)
        pin += static_cast<char>('0' + digit(source));
    return pin;
}

bool ConstantTimeEquals(std::string_view a, std::string_view b)
{
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    const size_t length = std::min(a.size(), b.size());
    for (size_t i = 0; i < length; ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string_view CookieValue(std::string_view header, std::string_view name)
{
    while (!header.empty()) {
        const size_t end = std::min(header.find(';'), header.size());
        std::string_view pair = header.substr(0, end);
        header.remove_prefix(std::min(end + 1, header.size()));
        while (!pair.empty() && pair.front() == ' ')
            pair.remove_prefix(1);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=')
            return pair.substr(name.size() + 1);
    }
    return {};
}

CRateLimiter::CRateLimiter(double requestsPerSecond)
    : m_rate(requestsPerSecond)
{
}

bool CRateLimiter::Admit(const std::string& address, PhoneClock::time_point now)
{
    if (m_buckets.size() >= m_pruneAt) {
        std::erase_if(m_buckets, [&](const auto& entry) {
            return std::chrono::duration<double>(now - entry.second.filled).count() * m_rate >= m_rate;
        });
        m_pruneAt = std::max<size_t>(1024, m_buckets.size() * 2);
    }
    auto [found, added] = m_buckets.try_emplace(address, Bucket {m_rate, now});
    Bucket& bucket = found->second;
    const double elapsed = std::chrono::duration<double>(now - bucket.filled).count();
    bucket.tokens = std::min(m_rate, bucket.tokens + std::max(0.0, elapsed) * m_rate);
    bucket.filled = now;
    if (bucket.tokens < 1)
        return false;
    bucket.tokens -= 1;
    return true;
}

bool CPinTries::IsLockedOut(const std::string& key, PhoneClock::time_point now) const
{
    const auto found = m_tries.find(key);
    return found != m_tries.end() && found->second.failures >= kPinTries && now < found->second.lockedUntil;
}

bool CPinTries::IsLockedOut(const std::string& address, const std::string& session, PhoneClock::time_point now) const
{
    const bool everyone = m_recentFailures.size() >= kAllPinTries && now < m_recentFailures.front() + kPinLockout;
    return everyone || IsLockedOut("a" + address, now) || IsLockedOut("s" + session, now);
}

void CPinTries::Failed(const std::string& key, PhoneClock::time_point now)
{
    Tries& tries = m_tries[key];
    if (tries.failures >= kPinTries)
        tries.failures = 0;
    if (++tries.failures >= kPinTries)
        tries.lockedUntil = now + kPinLockout;
}

void CPinTries::Failed(const std::string& address, const std::string& session, PhoneClock::time_point now)
{
    // Entries whose lock is over are forgotten, so the table holds the addresses and sessions
    // that tried lately.
    if (m_tries.size() >= 4096)
        std::erase_if(m_tries, [now](const auto& entry) { return entry.second.lockedUntil <= now; });
    Failed("a" + address, now);
    Failed("s" + session, now);
    std::erase_if(m_recentFailures, [now](PhoneClock::time_point failure) { return failure + kPinLockout <= now; });
    m_recentFailures.push_back(now);
    if (m_recentFailures.size() > kAllPinTries)
        m_recentFailures.erase(m_recentFailures.begin());
}

void CPinTries::Succeeded(const std::string& address, const std::string& session)
{
    m_tries.erase("a" + address);
    m_tries.erase("s" + session);
}

} // namespace linlangok
