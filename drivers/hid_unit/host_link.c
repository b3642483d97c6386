/* The unit's side of its pipe to the host. A worker thread carries each output report to the
 * host and turns the host's reply into the next input report, so that no dispatch routine ever
 * waits for the host; the host in turn answers every report at once, even for a unit that has
 * been told to stop answering (then with no reply). */
#include "unit_device.h"

#define ANSWER_LIMIT_100NS (-(LONGLONG)UNIT_LINK_ANSWER_LIMIT_MS * 10000)   /* relative */
#define REPLY_QUEUED_TIMEOUT_100NS (-20000000LL)    /* 2 s: hidclass's read thread has stopped */

static const WCHAR pipe_root[] = L"\\??\\pipe\\" UNIT_LINK_PIPE_PREFIX;

static NTSTATUS complete(IRP* irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* One read or write on the pipe. It ends when the I/O does, when the device goes, or when the host
 * has not answered within its limit; the last two cancel the I/O and wait until it has let go of
 * the status block on this stack. */
static NTSTATUS pipe_io(struct unit_device* unit, BOOLEAN write, UCHAR* at, ULONG length, ULONG_PTR* moved)
{
    IO_STATUS_BLOCK io;
    io.Status = STATUS_PENDING;
    io.Information = 0;
    NTSTATUS status = write ? ZwWriteFile(unit->pipe, unit->io_done, NULL, NULL, &io, at, length, NULL, NULL)
                            : ZwReadFile(unit->pipe, unit->io_done, NULL, NULL, &io, at, length, NULL, NULL);
    if (status == STATUS_PENDING) {
        HANDLE ends[2] = {unit->io_done, unit->stop_requested};
        LARGE_INTEGER limit;
        limit.QuadPart = ANSWER_LIMIT_100NS;
        NTSTATUS waited = ZwWaitForMultipleObjects(2, ends, WaitAny, FALSE, &limit);
        if (waited != STATUS_WAIT_0) {
            IO_STATUS_BLOCK cancelled;
            ZwCancelIoFile(unit->pipe, &cancelled);
            ZwWaitForSingleObject(unit->io_done, FALSE, NULL);
            return waited == STATUS_TIMEOUT ? STATUS_IO_TIMEOUT : STATUS_CANCELLED;
        }
        status = io.Status;
    }
    *moved = io.Information;
    return status;
}

/* The pipe is in byte mode: a read may return part of what the host wrote, so both directions
 * loop until every byte has passed. */
static NTSTATUS transfer(struct unit_device* unit, BOOLEAN write, UCHAR* at, ULONG length)
{
    while (length != 0) {
        ULONG_PTR moved = 0;
        NTSTATUS status = pipe_io(unit, write, at, length, &moved);
        if (!NT_SUCCESS(status))
            return status;
        if (moved == 0)
            return STATUS_PIPE_BROKEN;
        at += moved;
        length -= (ULONG)moved;
    }
    return STATUS_SUCCESS;
}

/* One message out, one back. The request is copied into one buffer first: one write, and the
 * host's byte stream never holds half a message. */
static NTSTATUS ask_host(struct unit_device* unit, UCHAR kind, const UCHAR* bytes, USHORT length,
                         struct unit_link_header* answer, UCHAR* answer_bytes, USHORT capacity)
{
    UCHAR message[sizeof(struct unit_link_header) + UNIT_LINK_MAX_REPORT];
    struct unit_link_header header = {kind, 0, length};
    memcpy(message, &header, sizeof header);
    if (length != 0)
        memcpy(message + sizeof header, bytes, length);
    NTSTATUS status = transfer(unit, TRUE, message, sizeof header + length);
    if (NT_SUCCESS(status))
        status = transfer(unit, FALSE, (UCHAR*)answer, sizeof *answer);
    if (NT_SUCCESS(status) && (answer->kind != kind || answer->length > capacity))
        status = STATUS_INVALID_NETWORK_RESPONSE;
    if (NT_SUCCESS(status) && answer->length != 0)
        status = transfer(unit, FALSE, answer_bytes, answer->length);
    return status;
}

static BOOLEAN usable_length(USHORT length)
{
    return length >= 2 && length <= UNIT_LINK_MAX_REPORT;   /* a report ID and at least one byte */
}

/* The host's last word from the driver: why the link ends, so that its log says so and it removes
 * the unit. A broken pipe has no one left to tell; the stop tells nothing. */
static void tell_host_why(struct unit_device* unit, NTSTATUS status)
{
    UCHAR reason = status == STATUS_IO_TIMEOUT                 ? UNIT_LINK_NO_ANSWER
                   : status == STATUS_INVALID_NETWORK_RESPONSE ? UNIT_LINK_BAD_ANSWER
                                                               : 0;
    struct unit_link_header header = {UNIT_LINK_GIVE_UP, reason, 0};
    if (reason != 0)
        transfer(unit, TRUE, (UCHAR*)&header, sizeof header);
}

static NTSTATUS open_pipe(struct unit_device* unit)
{
    WCHAR name[sizeof pipe_root / sizeof pipe_root[0] + UNIT_INSTANCE_CHARS];
    ULONG at = 0;
    for (ULONG i = 0; pipe_root[i] != 0; ++i)
        name[at++] = pipe_root[i];
    for (ULONG i = 0; unit->instance[i] != 0; ++i)
        name[at++] = unit->instance[i];
    name[at] = 0;

    UNICODE_STRING path = {(USHORT)(at * sizeof(WCHAR)), (USHORT)((at + 1) * sizeof(WCHAR)), name};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    IO_STATUS_BLOCK io;
    /* No host serving this instance (a device left in the prefix by an earlier session): the
     * device does not start, and the next host removes it. */
    NTSTATUS status = ZwCreateFile(&unit->pipe, GENERIC_READ | GENERIC_WRITE, &attributes, &io, NULL, 0, 0, FILE_OPEN,
                                   FILE_NON_DIRECTORY_FILE, NULL, 0);
    if (!NT_SUCCESS(status))
        unit->pipe = NULL;
    return status;
}

static NTSTATUS describe(struct unit_device* unit)
{
    struct unit_link_header answer;
    NTSTATUS status =
        ask_host(unit, UNIT_LINK_DESCRIBE, NULL, 0, &answer, (UCHAR*)&unit->description, sizeof unit->description);
    if (NT_SUCCESS(status) && (answer.length != sizeof unit->description ||
                               !usable_length(unit->description.input_length) ||
                               !usable_length(unit->description.output_length)))
        status = STATUS_INVALID_NETWORK_RESPONSE;
    if (!NT_SUCCESS(status))
        tell_host_why(unit, status);
    return status;
}

/* An input report for hidclass: into the read it keeps pending, or kept until it asks. FALSE when
 * the device is going or its link has failed: the reply is dropped. */
static BOOLEAN deliver(struct unit_device* unit, const UCHAR* reply, USHORT length)
{
    KIRQL irql;
    KeAcquireSpinLock(&unit->lock, &irql);
    BOOLEAN usable = !unit->removed && !unit->link_failed;
    IRP* read = usable ? unit->pending_read : NULL;
    if (usable) {
        unit->pending_read = NULL;
        if (read == NULL) {
            memcpy(unit->reply, reply, length);
            unit->reply_length = length;
        }
        unit->awaiting_queue = TRUE;
        KeClearEvent(&unit->reply_queued);
    }
    KeReleaseSpinLock(&unit->lock, irql);
    if (read != NULL) {
        IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(read);
        ULONG room = stack->Parameters.DeviceIoControl.OutputBufferLength;
        ULONG copied = length < room ? length : room;
        memcpy(read->UserBuffer, reply, copied);
        complete(read, STATUS_SUCCESS, copied);
    }
    return usable;
}

/* Ends the link: from now on writes are refused, and the read hidclass waits in and every queued
 * write fail. When the device goes, reads are refused too. When the host answered late or with
 * what cannot be, the next read stays pending until the device goes (or hidclass's read thread
 * would spin), and the host removes the unit. */
static void end_link(struct unit_device* unit, BOOLEAN device_goes)
{
    LIST_ENTRY writes;
    InitializeListHead(&writes);
    KIRQL irql;
    KeAcquireSpinLock(&unit->lock, &irql);
    if (device_goes) {
        unit->removed = TRUE;
        KeSetEvent(&unit->reply_queued, IO_NO_INCREMENT, FALSE);
    } else {
        unit->link_failed = TRUE;
    }
    IRP* read = unit->pending_read;
    unit->pending_read = NULL;
    while (!IsListEmpty(&unit->writes))
        InsertTailList(&writes, RemoveHeadList(&unit->writes));
    KeReleaseSpinLock(&unit->lock, irql);
    if (read != NULL)
        complete(read, device_goes ? STATUS_DELETE_PENDING : STATUS_DEVICE_NOT_CONNECTED, 0);
    while (!IsListEmpty(&writes))
        complete(CONTAINING_RECORD(RemoveHeadList(&writes), IRP, Tail.Overlay.ListEntry), STATUS_DEVICE_NOT_CONNECTED, 0);
}

static BOOLEAN answer_fits(const struct unit_device* unit, const struct unit_link_header* answer)
{
    if (answer->verdict == UNIT_LINK_REPLY)
        return answer->length == unit->description.input_length;   /* hidclass drops a short report */
    return (answer->verdict == UNIT_LINK_NO_REPLY || answer->verdict == UNIT_LINK_WRITE_FAILS) && answer->length == 0;
}

static void forward_write(struct unit_device* unit, IRP* irp)
{
    HID_XFER_PACKET* packet = irp->UserBuffer;
    struct unit_link_header answer = {0};
    UCHAR reply[UNIT_LINK_MAX_REPORT];
    /* With a report ID the buffer is the whole report, the ID in its first byte. */
    if (packet->reportBufferLen > UNIT_LINK_MAX_REPORT) {
        complete(irp, STATUS_INVALID_PARAMETER, 0);
        return;
    }
    NTSTATUS status = ask_host(unit, UNIT_LINK_REPORT, packet->reportBuffer, (USHORT)packet->reportBufferLen, &answer,
                               reply, sizeof reply);
    if (NT_SUCCESS(status) && !answer_fits(unit, &answer))
        status = STATUS_INVALID_NETWORK_RESPONSE;
    if (!NT_SUCCESS(status) || answer.verdict == UNIT_LINK_WRITE_FAILS) {
        complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
        if (!NT_SUCCESS(status) && status != STATUS_CANCELLED) {
            tell_host_why(unit, status);
            end_link(unit, FALSE);
        }
        return;
    }
    /* Wine 8.0's hidclass loses a report that arrives while a ReadFile is on its way into the
     * handle's queue (pdo_read looks for a report, then queues the read, without holding the lock
     * across both). The reply therefore goes to hidclass first, and the write completes only once
     * hidclass has queued it: the updater's ReadFile then finds it waiting. hidclass asks for the
     * next input report right after it queued one. */
    if (answer.verdict == UNIT_LINK_REPLY && deliver(unit, reply, answer.length)) {
        LARGE_INTEGER timeout;
        timeout.QuadPart = REPLY_QUEUED_TIMEOUT_100NS;
        KeWaitForSingleObject(&unit->reply_queued, Executive, KernelMode, FALSE, &timeout);
    }
    /* hidclass takes one off the count of a report that carries an ID: without the extra byte
     * WriteFile would say 59 of 60. */
    complete(irp, STATUS_SUCCESS, packet->reportBufferLen + 1);
}

static IRP* next_write(struct unit_device* unit, BOOLEAN* removed)
{
    IRP* irp = NULL;
    KIRQL irql;
    KeAcquireSpinLock(&unit->lock, &irql);
    *removed = unit->removed;
    if (!unit->removed && !unit->link_failed && !IsListEmpty(&unit->writes))
        irp = CONTAINING_RECORD(RemoveHeadList(&unit->writes), IRP, Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&unit->lock, irql);
    return irp;
}

static VOID NTAPI worker(PVOID context)
{
    struct unit_device* unit = context;
    BOOLEAN removed = FALSE;
    while (!removed) {
        KeWaitForSingleObject(&unit->work, Executive, KernelMode, FALSE, NULL);
        IRP* irp;
        while ((irp = next_write(unit, &removed)) != NULL)
            forward_write(unit, irp);
    }
    PsTerminateSystemThread(STATUS_SUCCESS);
}

/* A device stopped, or whose start failed, starts afresh. */
NTSTATUS unit_start(struct unit_device* unit)
{
    unit->removed = FALSE;
    unit->link_failed = FALSE;
    unit->pending_read = NULL;
    unit->reply_length = 0;
    unit->awaiting_queue = FALSE;
    KeClearEvent(&unit->reply_queued);
    NTSTATUS status = ZwCreateEvent(&unit->io_done, EVENT_ALL_ACCESS, NULL, NotificationEvent, FALSE);
    if (NT_SUCCESS(status))
        status = ZwCreateEvent(&unit->stop_requested, EVENT_ALL_ACCESS, NULL, NotificationEvent, FALSE);
    if (NT_SUCCESS(status))
        status = open_pipe(unit);
    if (NT_SUCCESS(status))
        status = describe(unit);
    if (NT_SUCCESS(status))
        unit_build_report_descriptor(unit);
    if (NT_SUCCESS(status))
        status = PsCreateSystemThread(&unit->worker, THREAD_ALL_ACCESS, NULL, NULL, NULL, worker, unit);
    if (!NT_SUCCESS(status))
        unit->worker = NULL;
    return status;
}

NTSTATUS unit_queue_write(struct unit_device* unit, IRP* irp)
{
    KIRQL irql;
    KeAcquireSpinLock(&unit->lock, &irql);
    BOOLEAN refused = unit->removed || unit->link_failed;
    if (!refused) {
        IoMarkIrpPending(irp);
        InsertTailList(&unit->writes, &irp->Tail.Overlay.ListEntry);
    }
    KeReleaseSpinLock(&unit->lock, irql);
    if (refused)
        return complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    KeSetEvent(&unit->work, IO_NO_INCREMENT, FALSE);
    return STATUS_PENDING;
}

/* hidclass's read thread asks again the moment a read completes, without waiting: the read
 * stays pending until the unit has a reply, or the device goes. */
NTSTATUS unit_queue_read(struct unit_device* unit, IRP* irp)
{
    UCHAR reply[UNIT_LINK_MAX_REPORT];
    USHORT length = 0;
    KIRQL irql;
    KeAcquireSpinLock(&unit->lock, &irql);
    BOOLEAN removed = unit->removed;
    if (!removed && unit->reply_length != 0) {
        length = unit->reply_length;
        memcpy(reply, unit->reply, length);
        unit->reply_length = 0;
    } else if (!removed) {
        IoMarkIrpPending(irp);
        unit->pending_read = irp;
        if (unit->awaiting_queue) {
            unit->awaiting_queue = FALSE;   /* the read before this one took the reply to the queues */
            KeSetEvent(&unit->reply_queued, IO_NO_INCREMENT, FALSE);
        }
    }
    KeReleaseSpinLock(&unit->lock, irql);
    if (removed)
        return complete(irp, STATUS_DELETE_PENDING, 0);
    if (length == 0)
        return STATUS_PENDING;
    ULONG room = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    ULONG copied = length < room ? length : room;
    memcpy(irp->UserBuffer, reply, copied);
    return complete(irp, STATUS_SUCCESS, copied);
}

static void close_handle(HANDLE* handle)
{
    if (*handle != NULL)
        ZwClose(*handle);
    *handle = NULL;
}

/* At surprise removal, then again at removal: hidclass's read thread is waiting in the pending
 * read, and its removal waits for that thread, so the read fails here first. The worker may be
 * waiting for the host: the stop cancels that, and returns only once the thread has ended, so
 * nothing touches the device after hidclass has freed it. */
void unit_stop(struct unit_device* unit)
{
    end_link(unit, TRUE);
    if (unit->stop_requested != NULL)
        ZwSetEvent(unit->stop_requested, NULL);
    if (unit->worker != NULL) {
        KeSetEvent(&unit->work, IO_NO_INCREMENT, FALSE);
        ZwWaitForSingleObject(unit->worker, FALSE, NULL);
    }
    close_handle(&unit->worker);
    close_handle(&unit->pipe);
    close_handle(&unit->stop_requested);
    close_handle(&unit->io_done);
}
