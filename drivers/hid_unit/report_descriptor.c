#include "unit_device.h"

/* The updater writes report ID 1 and reads report ID 2, each a whole report of bytes. */
#define OUTPUT_REPORT_ID 0x01
#define INPUT_REPORT_ID 0x02

static void put(struct unit_device* unit, UCHAR byte)
{
    if (unit->report_descriptor_length < UNIT_DESCRIPTOR_MAX)
        unit->report_descriptor[unit->report_descriptor_length++] = byte;
}

static void put_report(struct unit_device* unit, UCHAR id, USHORT length, UCHAR main_item)
{
    USHORT count = (USHORT)(length - 1);    /* the data bytes after the report ID */
    put(unit, 0x85); put(unit, id);         /* Report ID */
    put(unit, 0x96); put(unit, (UCHAR)count); put(unit, (UCHAR)(count >> 8));   /* Report Count */
    put(unit, 0x09); put(unit, 0x01);       /* Usage (vendor 1) */
    put(unit, main_item); put(unit, 0x02);  /* Input or Output (Data, Variable, Absolute) */
}

void unit_build_report_descriptor(struct unit_device* unit)
{
    unit->report_descriptor_length = 0;
    put(unit, 0x06); put(unit, 0x00); put(unit, 0xFF);  /* Usage Page (vendor 0xFF00) */
    put(unit, 0x09); put(unit, 0x01);                   /* Usage (vendor 1) */
    put(unit, 0xA1); put(unit, 0x01);                   /* Collection (Application) */
    put(unit, 0x15); put(unit, 0x00);                   /* Logical Minimum (0) */
    put(unit, 0x26); put(unit, 0xFF); put(unit, 0x00);  /* Logical Maximum (255) */
    put(unit, 0x75); put(unit, 0x08);                   /* Report Size (8) */
    put_report(unit, INPUT_REPORT_ID, unit->description.input_length, 0x81);
    put_report(unit, OUTPUT_REPORT_ID, unit->description.output_length, 0x91);
    put(unit, 0xC0);                                    /* End Collection */
}
