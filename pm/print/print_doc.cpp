/*
 * print_doc.cpp - documents and pages on a printer PS.
 *
 * A document on a local printer (no server name, a port that does not
 * begin with two backslashes) is written straight into a job the spooler
 * reserves for it: the add-job request answers a spool-file name and a job
 * id, the document's output goes to that file, and a successful end
 * schedules the job.  A failed end or an abort cancels the job and deletes
 * the spool file, so no half job stays queued.  With "NoPrintingHack" = 0,
 * with a remote printer or when no job can be reserved, the document goes
 * through the normal spooler path.  A print-to-file selection writes the
 * document to the selection's file.
 *
 * One document is printed at a time: the open document and its reserved
 * job are process-wide.
 */
#include <cstring>
#include "pm/print/printdoc.h"
#include "pm/print/printint.h"
#include <winspool.h>

namespace orin::pm::print {
namespace {

constexpr const char *kDefaultPrintFile = "PRINT.PRN";
constexpr DWORD kAddJobLevel = 1;
constexpr DWORD kInfoLevel = 2;

/* Owner of an open printer handle. */
struct PrinterDeleter {
    void operator()(HANDLE h) const noexcept { ClosePrinter(h); }
};
using PrinterHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, PrinterDeleter>;

/* The document being printed. */
struct Document {
    HPS hps = nullptr;                  // null: no document
    PrinterHandle printer;              // held while a job is reserved
    DWORD jobId = 0;
    std::string spoolFile;              // empty: no reserved job
    std::string device;                 // the printer the document went to
    int nativeJob = 0;                  // what the native start answered
};
Document doc;

/* A printer's level-2 information says it is served on this machine. */
bool isLocalPrinter(HANDLE printer)
{
    DWORD need = 0;
    GetPrinterA(printer, kInfoLevel, nullptr, 0, &need);
    if (need == 0)
        return false;
    std::vector<BYTE> buf(need);
    if (!GetPrinterA(printer, kInfoLevel, buf.data(), need, &need))
        return false;
    const auto *info = reinterpret_cast<const PRINTER_INFO_2A *>(buf.data());
    bool noServer = !info->pServerName || !*info->pServerName;
    bool localPort = !info->pPortName || std::strncmp(info->pPortName, "\\\\", 2) != 0;
    return noServer && localPort;
}

/* Reserves a spooler job on a local printer: the printer stays open and
 * the job's spool file is remembered; false leaves nothing open. */
bool reserveJob(const std::string &device)
{
    HANDLE raw = nullptr;
    if (device.empty() || !OpenPrinterA(const_cast<char *>(device.c_str()), &raw, nullptr))
        return false;
    PrinterHandle printer(raw);
    if (!isLocalPrinter(printer.get()) || normalSpoolingForced())
        return false;
    DWORD need = 0;
    AddJobA(printer.get(), kAddJobLevel, nullptr, 0, &need);
    if (need < sizeof(ADDJOB_INFO_1A))
        return false;
    std::vector<BYTE> buf(need);
    if (!AddJobA(printer.get(), kAddJobLevel, buf.data(), need, &need))
        return false;
    const auto *job = reinterpret_cast<const ADDJOB_INFO_1A *>(buf.data());
    doc.spoolFile = job->Path ? job->Path : "";
    doc.jobId = job->JobId;
    doc.printer = std::move(printer);
    return !doc.spoolFile.empty();
}

/* Cancels the reserved job and removes its spool file. */
void dropReservedJob() noexcept
{
    if (doc.printer && !doc.spoolFile.empty()) {
        SetJobA(doc.printer.get(), doc.jobId, 0, nullptr, JOB_CONTROL_CANCEL);
        DeleteFileA(doc.spoolFile.c_str());
    }
}

/* Cancels the job the native start made, so that ending a document the
 * driver could not abort sends nothing to the printer. */
void cancelNativeJob() noexcept
{
    HANDLE raw = nullptr;
    if (doc.nativeJob <= 0 || doc.device.empty() ||
        !OpenPrinterA(const_cast<char *>(doc.device.c_str()), &raw, nullptr))
        return;
    PrinterHandle printer(raw);
    SetJobA(printer.get(), static_cast<DWORD>(doc.nativeJob), 0, nullptr, JOB_CONTROL_CANCEL);
}

void forgetDocument() noexcept
{
    doc.printer.reset();
    doc.device.clear();
    doc.nativeJob = 0;
    doc.hps = nullptr;
    doc.jobId = 0;
    doc.spoolFile.clear();
}

/* The record of hps when hps is the PS of the open document. */
gpi::GpiPS *documentPS(HPS hps) noexcept
{
    gpi::GpiPS *ps = findPrinterPS(hps);
    return ps && doc.hps == hps ? ps : nullptr;
}

USHORT startDocument(HPS hps, gpi::GpiPS &ps, const char *docName)
{
    Selection &sel = selection();
    DOCINFOA info{};
    info.cbSize = sizeof info;
    info.lpszDocName = docName ? docName : "";
    std::string output;
    if (sel.filled && sel.printToFile) {
        output = sel.fileName.empty() ? kDefaultPrintFile : sel.fileName;
    } else if (reserveJob(sel.device)) {
        output = doc.spoolFile;
    }
    if (!output.empty())
        info.lpszOutput = output.c_str();
    doc.hps = hps;
    doc.device = sel.device;
    doc.nativeJob = StartDocA(ps.hdc, &info);
    if (doc.nativeJob > 0)
        return kPrnOk;
    dropReservedJob();
    forgetDocument();
    return kPrnError;
}

}  // namespace

void abandonDocumentOf(HPS hps) noexcept
{
    if (doc.hps == hps && hps)
        WinPrnAbortDoc(hps);
}

JobView currentJob() noexcept
{
    JobView view;
    try {
        view.active = doc.hps != nullptr;
        view.reserved = !doc.spoolFile.empty();
        view.jobId = doc.jobId;
        view.spoolFile = doc.spoolFile;
    } catch (...) {
    }
    return view;
}

}  // namespace orin::pm::print

using namespace orin::pm::print;

USHORT ORINAPI WinPrnStartDoc(HPS hps, const char *docName) noexcept
{
    orin::pm::gpi::GpiPS *ps = findPrinterPS(hps);
    if (!ps || doc.hps)
        return kPrnError;
    try {
        return startDocument(hps, *ps, docName);
    } catch (...) {
        dropReservedJob();
        forgetDocument();
        return kPrnError;
    }
}

USHORT ORINAPI WinPrnStartPage(HPS hps) noexcept
{
    orin::pm::gpi::GpiPS *ps = documentPS(hps);
    return ps && StartPage(ps->hdc) > 0 ? kPrnOk : kPrnError;
}

USHORT ORINAPI WinPrnEndPage(HPS hps) noexcept
{
    orin::pm::gpi::GpiPS *ps = documentPS(hps);
    return ps && EndPage(ps->hdc) > 0 ? kPrnOk : kPrnError;
}

USHORT ORINAPI WinPrnEndDoc(HPS hps) noexcept
{
    orin::pm::gpi::GpiPS *ps = documentPS(hps);
    if (!ps)
        return kPrnError;
    bool ended = EndDoc(ps->hdc) > 0;
    if (doc.printer && !doc.spoolFile.empty()) {
        if (ended)
            ScheduleJob(doc.printer.get(), doc.jobId);
        else
            dropReservedJob();
    }
    forgetDocument();
    return ended ? kPrnOk : kPrnError;
}

USHORT ORINAPI WinPrnAbortDoc(HPS hps) noexcept
{
    orin::pm::gpi::GpiPS *ps = documentPS(hps);
    if (!ps)
        return kPrnError;
    // A driver without an abort of its own leaves the document open: the
    // context goes (deleting a context in a document prints nothing) and
    // the PS gets a fresh one.  Only when none can be made is the native
    // job cancelled and the document ended.
    if (AbortDoc(ps->hdc) <= 0 && !renewPrinterContext(*ps)) {
        cancelNativeJob();
        EndDoc(ps->hdc);
    }
    dropReservedJob();
    forgetDocument();
    return kPrnOk;
}
