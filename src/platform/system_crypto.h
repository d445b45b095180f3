#pragma once

// The crypto provider of the system the program is built for: CryptoAPI on Windows,
// OpenSSL elsewhere. Tests and tools that need real digests without the rest of the back
// end use it through this name.
#ifdef _WIN32
#include "platform/win32/cryptoapi_crypto.h"
namespace tavrin {
using SystemCrypto = CryptoApiCrypto;
}
#else
#include "platform/posix/openssl_crypto.h"
namespace tavrin {
using SystemCrypto = OpenSslCrypto;
}
#endif
