#pragma once

namespace tarvoni::net {

// How a transfer, or the opening of a connection, ended.
enum class Outcome {
    Done,                 // the whole answer came; the connection is open
    Stopped,              // a handler had enough
    Cancelled,            // cancel() was called, or the watched client went away
    HostNotFound,         // the host name did not resolve
    ConnectionRefused,    // every address refused the connection
    NoAnswer,             // no connection in time, or the server went silent
    ConnectionClosed,     // the server hung up (or reset) before its answer's head
    UntrustedCertificate, // an https server (or one redirected to) whose certificate failed
    SchemeRefused,        // a redirect to something other than http or https
    Failed,               // anything else: a head too long, the answer cut short, ...
};

// What a curl easy handle's result code (`easy` is the handle, `void *` so that no caller needs
// curl's header) says about how its transfer or connection ended; a connection cut off while
// receiving or sending reads as ConnectionClosed.
Outcome outcomeOfTransfer(int code, void *easy);

} // namespace tarvoni::net
