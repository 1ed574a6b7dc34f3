#include "stream/segment_decrypter.h"

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>

namespace tarvoni::stream {

namespace {

constexpr size_t kBlock = 16;

} // namespace

SegmentDecrypter::SegmentDecrypter(std::string_view key, std::string_view iv)
{
    if (key.size() != kBlock || iv.size() != kBlock)
        return;
    gnutls_datum_t keyData{reinterpret_cast<unsigned char *>(const_cast<char *>(key.data())), kBlock};
    gnutls_datum_t ivData{reinterpret_cast<unsigned char *>(const_cast<char *>(iv.data())), kBlock};
    gnutls_cipher_hd_t cipher = nullptr;
    if (gnutls_cipher_init(&cipher, GNUTLS_CIPHER_AES_128_CBC, &keyData, &ivData) == GNUTLS_E_SUCCESS)
        m_cipher = cipher;
}

SegmentDecrypter::~SegmentDecrypter()
{
    if (m_cipher)
        gnutls_cipher_deinit(static_cast<gnutls_cipher_hd_t>(m_cipher));
}

std::string SegmentDecrypter::feed(std::string_view in)
{
    m_pending.append(in);
    if (!m_cipher || m_pending.size() <= kBlock)
        return {};
    // Whole blocks, all but the last one that has come.
    const size_t ready = (m_pending.size() - 1) / kBlock * kBlock;
    std::string clear(ready, '\0');
    if (gnutls_cipher_decrypt2(static_cast<gnutls_cipher_hd_t>(m_cipher), m_pending.data(), ready,
                               clear.data(), ready)
        != GNUTLS_E_SUCCESS)
        clear.clear();
    m_pending.erase(0, ready);
    return clear;
}

bool SegmentDecrypter::end(std::string *out)
{
    out->clear();
    if (!m_cipher || m_pending.size() != kBlock)
        return false;
    std::string last(kBlock, '\0');
    if (gnutls_cipher_decrypt2(static_cast<gnutls_cipher_hd_t>(m_cipher), m_pending.data(), kBlock,
                               last.data(), kBlock)
        != GNUTLS_E_SUCCESS)
        return false;
    m_pending.clear();
    const size_t padding = static_cast<unsigned char>(last.back());
    if (padding == 0 || padding > kBlock)
        return false;
    for (size_t i = kBlock - padding; i < kBlock; ++i) {
        if (static_cast<unsigned char>(last[i]) != padding)
            return false;
    }
    *out = last.substr(0, kBlock - padding);
    return true;
}

std::string SegmentDecrypter::sequenceIv(long long sequence)
{
    std::string iv(kBlock, '\0');
    auto value = static_cast<unsigned long long>(sequence);
    for (size_t i = kBlock; i-- > kBlock - 8; value >>= 8)
        iv[i] = char(value & 0xff);
    return iv;
}

} // namespace tarvoni::stream
