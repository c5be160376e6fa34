#pragma once

#include "text/DebugTrace.h"

// Every fixed trace line of the panel, each named once: the function name and
// line number operators' scripts match, and the message. The names from the
// panel's first platform ("CTolvaneAppDlg::tmSendMsg", 807, ...) stay as they
// were, for those scripts. Call trace<sites::name>(arguments...).
namespace sites {

// Start-up and the settings file
inline constexpr TraceSite firstRun{"CTolvaneAppDlg::OnInitDialog", 550, "is first "};
inline constexpr TraceSite settingsKeptAside{"SettingsStore::load", 1,
                                             "settings file %s unreadable (%s), kept as %s"};
inline constexpr TraceSite settingsNotKeptAside{
    "SettingsStore::load", 2,
    "settings file %s unreadable (%s), cannot keep it aside (%s): settings will not be saved"};
inline constexpr TraceSite settingsKeysUnreadable{
    "SettingsStore::load", 3, "settings file %s: %s unreadable, read as the defaults; kept as %s"};
inline constexpr TraceSite settingsKeysUnreadableNotKeptAside{
    "SettingsStore::load", 4,
    "settings file %s: %s unreadable, cannot keep it aside (%s): settings will not be saved"};
inline constexpr TraceSite settingsNotAFile{
    "SettingsStore::load", 5, "settings file %s: running on defaults, settings will not be saved"};
inline constexpr TraceSite staleSettingsTemporaryRemoved{
    "SettingsStore::load", 6, "removed %s, a temporary settings file left behind"};
inline constexpr TraceSite firstRunKeptAside{
    "SettingsStore::firstRun", 1, "settings file %s kept as %s before the first run replaced %s"};
inline constexpr TraceSite firstRunNotKeptAside{
    "SettingsStore::firstRun", 2,
    "settings file %s cannot be kept aside before the first run replaced %s (%s): "
    "settings will not be saved"};
inline constexpr TraceSite settingsNotSaved{"SettingsStore::save", 1,
                                            "settings file %s not saved (%s)"};
inline constexpr TraceSite settingsNotSavedDamagedNotKept{
    "SettingsStore::save", 2,
    "settings file %s not saved: the unreadable file there was not kept aside"};
inline constexpr TraceSite settingsNotSavedFirstRunNotKept{
    "SettingsStore::save", 2,
    "settings file %s not saved: the file as it was before the first run was not kept aside"};

// Commands and the link
inline constexpr TraceSite netCommand{"CTolvaneAppDlg::tmSendMsg", 799, "net cmd:\r\n%s"};
inline constexpr TraceSite uartCommand{"CTolvaneAppDlg::tmSendMsg", 807, "uart cmd:\r\n%s"};
inline constexpr TraceSite commandByNet{"CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 939,
                                        "command by net"};
inline constexpr TraceSite commandByUart{"CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 943,
                                         "command by uart"};
inline constexpr TraceSite portOpenFailed{"CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 951,
                                          "open %s failed: %s%s"};
inline constexpr TraceSite linkNotWatched{"Link::Link", 1, "cannot watch the link: %s"};
inline constexpr TraceSite portWentAway{"Link::portWentAway", 1,
                                        "COM%u went away; waiting for it"};
inline constexpr TraceSite portBack{"Link::lookAtChosenPort", 1, "COM%u is back; reopened"};
inline constexpr TraceSite portLeadsElsewhere{
    "Link::lookAtChosenPort", 2, "COM%u leads to another device now; not reopened by itself"};
inline constexpr TraceSite portEntryIgnored{
    "listSerialPorts", 1, "ports folder entry \"%s\" ignored: a port name is COM1 to COM255"};

// The serial receive thread
inline constexpr TraceSite serialThreadNotStarted{"tmRxUartTask", 2,
                                                  "cannot start the serial receive thread: %s"};
inline constexpr TraceSite burstDropped{"tmRxUartTask", 3, "burst dropped: %s"};
inline constexpr TraceSite uartReadFailed{"tmRxUartTask", 468, "read uart failed"};
inline constexpr TraceSite uartReceived{"tmRxUartTask", 472, "=====>\r\n{%s}\r\n"};

// The UDP receive thread
inline constexpr TraceSite udpPortBound{"tmRxNetTask", 1, "udp port %u bound"};
inline constexpr TraceSite udpBindFailed{"tmRxNetTask", 2,
                                         "bind udp port %u failed: %s; retrying every second"};
inline constexpr TraceSite udpSocketFailed{"tmRxNetTask", 3, "udp socket failed: %s"};
inline constexpr TraceSite machineAddressChanged{"tmRxNetTask", 4,
                                                 "machine address changed from %s to %s"};
inline constexpr TraceSite datagramsIgnored{
    "tmRxNetTask", 5, "datagrams without a complete frame ignored so far: %llu, the latest from %s"};
inline constexpr TraceSite datagramsLost{
    "tmRxNetTask", 6,
    "%u datagrams lost in the socket's queue while the panel was not reading "
    "(%llu lately, %llu in all)"};
inline constexpr TraceSite netThreadNotStarted{"tmRxNetTask", 7,
                                               "cannot start the UDP receive thread: %s"};
inline constexpr TraceSite datagramDropped{"tmRxNetTask", 8, "datagram dropped: %s"};

// Frames
inline constexpr TraceSite frameWithoutNineValues{"CTolvaneAppDlg::tmRxFrame", 1093,
                                                  "frame dropped: no nine state values"};
inline constexpr TraceSite frameCutByStart{"FrameStream::take", 1,
                                           "frame dropped: cut by a new start[ after %zu bytes"};
inline constexpr TraceSite frameCutByNul{"FrameStream::take", 2,
                                         "frame dropped: cut by a NUL byte after %zu bytes"};
inline constexpr TraceSite frameEndedWithDatagram{
    "FrameStream::take", 3, "frame dropped: the datagram ended after %zu bytes without ]end"};
inline constexpr TraceSite frameTooLong{"FrameStream::take", 4,
                                        "frame dropped: too long, %zu bytes without ]end"};
inline constexpr TraceSite frameCutByLinkChange{
    "FrameStream::take", 5, "frame dropped: the link changed after %zu bytes without ]end"};

// The clock
inline constexpr TraceSite clockStarted{"tmTimeTask", 825, "enter time thread!"};

// Records, the journal and the disk
inline constexpr TraceSite recordNotWritten{"CTolvaneAppDlg::tmSaveRecord", 1154,
                                            "record not written to %s: %s"};
inline constexpr TraceSite journalNotKept{"RecordSaver::journal", 1, "journal not kept: %s"};
inline constexpr TraceSite journalRecordsDropped{
    "RecordSaver::journal", 2, "%zu records will never be in the journal: more than %zu waited"};
inline constexpr TraceSite journalKeptAgain{"RecordSaver::journal", 3, "journal kept again"};
inline constexpr TraceSite journalRecordsNeverKept{"RecordSaver::journal", 4,
                                                   "%zu records never reached the journal: %s"};
inline constexpr TraceSite outcomeNotStored{"RecordSaver::writeAgain", 1,
                                            "outcome not stored: %s"};
inline constexpr TraceSite journalKeptAside{"Journal::open", 1,
                                            "%s: kept aside as %s, a new journal started"};
inline constexpr TraceSite journalNotKeptAside{"Journal::open", 2, "%s; %s"};
inline constexpr TraceSite diskDidNotAnswer{"DiskWriter::finish", 1,
                                            "%s not written: the disk did not answer in %lld ms"};

// The plant link
inline constexpr TraceSite plantStatus{"PlantLink::status", 1, "%s"};
inline constexpr TraceSite publishedNotStored{"PlantLink::storePublished", 1,
                                              "journal not updated: %s"};

}  // namespace sites
