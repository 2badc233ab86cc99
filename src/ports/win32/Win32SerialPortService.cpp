#include "ports/win32/Win32SerialPortService.h"

#include "ports/win32/PreciseWait.h"
#include "ports/win32/Win32PortErrors.h"
#include "ports/win32/Win32PortName.h"

namespace {

BYTE parityOf(char parity) {
    switch (parity) {
    case 'e':
        return EVENPARITY;
    case 'o':
        return ODDPARITY;
    case 'm':
        return MARKPARITY;
    case 's':
        return SPACEPARITY;
    default:
        return NOPARITY;
    }
}

BYTE stopBitsOf(int stopBits) {
    switch (stopBits) {
    case 2:
        return TWOSTOPBITS;
    case 3:
        return ONE5STOPBITS;
    default:
        return ONESTOPBIT;
    }
}

// Bytes still waiting in a write that the driver has not finished after this long go with the port.
constexpr DWORD kCloseDrainMs = 500;

} // namespace

Win32SerialPortService::~Win32SerialPortService() {
    closePort();
}

void Win32SerialPortService::setSettings(const std::string& text) {
    settings = parseLineSettings(text);
}

void Win32SerialPortService::setCommPort(std::int16_t number) {
    portText = portNameForNumber(number);
}

void Win32SerialPortService::setCommPath(const std::string& path) {
    portText = path;
}

void Win32SerialPortService::setOnArrival(std::function<void()> callback) {
    onArrival = std::move(callback);
}

bool Win32SerialPortService::portOpen() const {
    return handle != INVALID_HANDLE_VALUE;
}

void Win32SerialPortService::setPortOpen(bool open) {
    if (!open) {
        closePort();
        return;
    }
    if (portOpen())
        throw PortError("Port already open");
    openPort();
}

void Win32SerialPortService::openPort() {
    const std::string name = canonicalPortName(portText);
    auto held = std::make_unique<PortClaim>(name);
    // Shared with nobody: Windows refuses a second open of a port, which is how a port another
    // program holds shows.
    handle = CreateFileW(devicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        throw PortError(openRefusal(name, GetLastError()));
    portName = name;
    try {
        configure();
    } catch (const PortError&) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        throw;
    }
    claim = std::move(held);
    watch = std::make_unique<ArrivalWatch>(
        handle,
        [this] {
            if (onArrival)
                onArrival();
        },
        [this](DWORD error) { lose("the device was removed or hung up", error); });
}

void Win32SerialPortService::configure() {
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(handle, &line))
        throw PortError(portName + ": " + systemErrorText(GetLastError()));
    line.BaudRate = static_cast<DWORD>(settings.baud);
    line.ByteSize = static_cast<BYTE>(settings.dataBits);
    line.Parity = parityOf(settings.parity);
    line.StopBits = stopBitsOf(settings.stopBits);
    line.fBinary = TRUE;
    line.fParity = settings.parity != 'n';
    // No flow control: the bootloader's lines have none. DTR and RTS are raised at the open, as
    // POSIX systems do, so that boards wired to them behave alike on both.
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.fDsrSensitivity = FALSE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;
    // A framing or parity error must not stop all later reads and writes until it is cleared.
    line.fAbortOnError = FALSE;
    if (!SetCommState(handle, &line))
        throw PortError(portName + ": " + systemErrorText(GetLastError()));
    // Reads return at once with what is there, writes have no time limit.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!SetCommTimeouts(handle, &timeouts))
        throw PortError(portName + ": " + systemErrorText(GetLastError()));
    // A freshly opened port starts empty, as a real line does: bytes left from before the open
    // belong to nobody's request.
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
}

void Win32SerialPortService::closePort() {
    if (!portOpen())
        return;
    watch.reset();
    writes.finish(handle, kCloseDrainMs);
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    claim.reset();
    const std::lock_guard<std::mutex> guard(lostGuard);
    lostReason.reset();
}

void Win32SerialPortService::lose(const std::string& meaning, DWORD error) {
    {
        const std::lock_guard<std::mutex> guard(lostGuard);
        if (lostReason)
            return;
        lostReason = meaning + " (" + systemErrorText(error) + ")";
    }
    // A reader on arrival polls nothing: the next read is how it learns of the loss.
    if (onArrival)
        onArrival();
}

void Win32SerialPortService::throwIfBroken() const {
    if (!portOpen())
        throw PortError("Port is closed");
    const std::lock_guard<std::mutex> guard(lostGuard);
    if (lostReason)
        throw PortLostError(portName + ": " + *lostReason);
}

int Win32SerialPortService::inBufferCount() {
    throwIfBroken();
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle, &errors, &status)) {
        lose("the device was removed or hung up", GetLastError());
        throwIfBroken();
    }
    if (status.cbInQue == 0)
        watch->readerLooked();
    return static_cast<int>(status.cbInQue);
}

std::string Win32SerialPortService::input() {
    throwIfBroken();
    std::string bytes;
    char chunk[4096];
    OVERLAPPED read{};
    read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (;;) {
        DWORD got = 0;
        ResetEvent(read.hEvent);
        if (!ReadFile(handle, chunk, sizeof chunk, &got, &read) &&
            (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(handle, &read, &got, TRUE))) {
            const DWORD error = GetLastError();
            CloseHandle(read.hEvent);
            lose("reading from the device failed", error);
            throwIfBroken();
        }
        bytes.append(chunk, got);
        if (got < sizeof chunk)
            break;
    }
    CloseHandle(read.hEvent);
    watch->readerLooked();
    return bytes;
}

void Win32SerialPortService::output(const std::string& bytes) {
    throwIfBroken();
    if (const DWORD error = writes.write(handle, bytes); error != ERROR_SUCCESS) {
        lose("writing to the device failed", error);
        throwIfBroken();
    }
}

void Win32SerialPortService::keepQuiet(std::chrono::microseconds span) {
    waitPrecisely(span);
}

void Win32SerialPortService::setModemLines(const ModemLineChange& change) {
    throwIfBroken();
    const auto set = [this](DWORD function) {
        if (!EscapeCommFunction(handle, function))
            throw PortError(portName + ": " + systemErrorText(GetLastError()));
    };
    if (change.dtr)
        set(*change.dtr ? SETDTR : CLRDTR);
    if (change.rts)
        set(*change.rts ? SETRTS : CLRRTS);
}
