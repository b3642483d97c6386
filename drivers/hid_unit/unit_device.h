/* One simulated programming unit as a HID device: what the driver keeps per device. */
#ifndef ZEFRAN_UNIT_DEVICE_H
#define ZEFRAN_UNIT_DEVICE_H

#include "hid_minidriver.h"
#include "unit_link.h"

#define UNIT_INSTANCE_CHARS 64
#define UNIT_DESCRIPTOR_MAX 64

struct unit_device {
    DEVICE_OBJECT* fdo;                     /* hidclass's device object for the unit */
    DEVICE_OBJECT* lower;                   /* the root device under it */
    WCHAR instance[UNIT_INSTANCE_CHARS];    /* the last part of the root device's instance ID */

    struct unit_link_description description;
    UCHAR report_descriptor[UNIT_DESCRIPTOR_MAX];
    USHORT report_descriptor_length;

    HANDLE pipe;                            /* to the host, for asynchronous I/O; null until started */
    HANDLE io_done;                         /* the pipe's read or write has ended */
    HANDLE stop_requested;                  /* the device goes: what waits for the pipe gives up */
    HANDLE worker;                          /* the thread that talks to the host */
    KEVENT work;                            /* a write is queued, or the device goes */
    KEVENT reply_queued;                    /* hidclass has put the last reply in its handles' queues */

    KSPIN_LOCK lock;                        /* guards everything below */
    LIST_ENTRY writes;                      /* WRITE_REPORT IRPs, oldest first */
    IRP* pending_read;                      /* the READ_REPORT hidclass keeps waiting */
    UCHAR reply[UNIT_LINK_MAX_REPORT];      /* an input report no read has taken yet */
    USHORT reply_length;                    /* 0: none */
    BOOLEAN awaiting_queue;                 /* a reply was handed over; reply_queued not yet set */
    BOOLEAN removed;
    BOOLEAN link_failed;                    /* the host's answer was late or unusable: writes fail */
};

/* The host link (host_link.c). unit_start asks the host what the unit is and starts the worker;
 * unit_stop, at surprise removal, removal or a failed start, returns once the worker has ended. */
NTSTATUS unit_start(struct unit_device* unit);
void unit_stop(struct unit_device* unit);
/* Both complete the IRP or mark it pending, and return what the dispatch routine returns. */
NTSTATUS unit_queue_write(struct unit_device* unit, IRP* irp);
NTSTATUS unit_queue_read(struct unit_device* unit, IRP* irp);

/* The report descriptor (report_descriptor.c): one vendor collection, input report ID 2 and
 * output report ID 1 of the lengths the host gave, report ID included. */
void unit_build_report_descriptor(struct unit_device* unit);

#endif
