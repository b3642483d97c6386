/* What passes between the simulated unit's HID minidriver and the host that runs the unit: one
 * byte-mode pipe per unit, named after the root device's instance, opened by the driver when the
 * device starts. Every message is a header and as many bytes as it announces. Shared by the
 * driver (C) and the host (C++). */
#ifndef ZEFRAN_UNIT_LINK_H
#define ZEFRAN_UNIT_LINK_H

/* \\.\pipe\zefran-sim-unit-<instance>, the instance being the last part of the root device's
 * instance ID (ROOT\VID_21B8&PID_0002\0003 is served by zefran-sim-unit-0003). */
#define UNIT_LINK_PIPE_PREFIX L"zefran-sim-unit-"

/* The driver's service, as the prefix script creates it and the host names it on each device. */
#define UNIT_LINK_SERVICE L"zefranhid"

enum unit_link_kind {
    UNIT_LINK_DESCRIBE = 1,     /* driver: what the unit is; host: a unit_link_description */
    UNIT_LINK_REPORT = 2,       /* driver: an output report; host: the verdict and the reply */
    UNIT_LINK_GIVE_UP = 3,      /* driver only, its last message: why it ends the link (the verdict
                                 * byte holds a unit_link_reason); the host removes the unit */
};

enum unit_link_reason {
    UNIT_LINK_NO_ANSWER = 1,        /* no answer within UNIT_LINK_ANSWER_LIMIT_MS */
    UNIT_LINK_BAD_ANSWER = 2,       /* the answer's kind, verdict or length does not fit the request */
};

/* The host answers every message at once: a unit's timing, a silent one's included, lives on the
 * unit's own clock and never holds the pipe. An answer this late means the host has stopped. */
#define UNIT_LINK_ANSWER_LIMIT_MS 5000

enum unit_link_verdict {
    UNIT_LINK_REPLY = 0,        /* the report was taken; the bytes are the next input report */
    UNIT_LINK_NO_REPLY = 1,     /* the report was taken; no input report follows */
    UNIT_LINK_WRITE_FAILS = 2,  /* the report never reached the unit */
};

/* Reports carry their report ID; HID report lengths here are at most this long. */
#define UNIT_LINK_MAX_REPORT 255

#pragma pack(push, 1)
struct unit_link_header {
    unsigned char kind;
    unsigned char verdict;      /* host to driver, UNIT_LINK_REPORT only */
    unsigned short length;      /* bytes that follow */
};

struct unit_link_description {
    unsigned short vendor_id;
    unsigned short product_id;
    unsigned short version;
    unsigned short input_length;    /* report ID included, as HidP_GetCaps gives it */
    unsigned short output_length;
};
#pragma pack(pop)

#endif
