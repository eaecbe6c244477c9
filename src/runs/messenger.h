#pragma once
// Hands a finished backup file to the LAN chat program on this machine: a 3076-byte record
// over the local socket "TKxChatMainF" in $XDG_RUNTIME_DIR. The chat program does the transfer.

#include <QByteArray>
#include <QString>

namespace kx {

struct MessengerHandOff {
    QString backupFile;
    QString jobName;
    QString nickname;
    QString address;
    bool deleteAfter = false;
    QString password; // deciphered
};

inline constexpr int kMessengerRecordSize = 3076;
inline constexpr quint32 kMessengerDataCode = 3232;

// Twelve 256-byte slots of short strings (length byte + code page text, cut at 255) and the
// integer 32; unused bytes are zero.
QByteArray messengerRecord(const MessengerHandOff &h);
// Sender's process id, data code 3232, size 3076 (each 32-bit little endian), then the record.
QByteArray messengerEnvelope(const MessengerHandOff &h);

// Sends when the address and the job name are set and the file exists, and a chat program
// listens; then waits until it closes the connection or the time-out passes. Never fails.
// Returns true when the record was written to a listener.
bool sendToMessenger(const MessengerHandOff &h);

// Test seam: how long to wait for the chat program (5000 ms).
void setMessengerTimeoutMs(int ms);

} // namespace kx
