/* zefranhid.sys: a HID minidriver that presents one simulated programming unit per root device.
 * It holds no protocol logic: its host, a Windows program running the simulated unit, says what
 * the unit is and answers each output report (host_link.c). Wine loads a .sys that imports
 * kernel32 or ntdll as an ordinary DLL and calls its entry point as DllMain: this one imports
 * ntoskrnl, hidclass and hal only, so the C library is not linked and memcpy comes from ntoskrnl. */
#include "unit_device.h"

static const WCHAR manufacturer[] = L"ZEFRAN (simulated)";
static const WCHAR product_orbipad[] = L"ORBIPAD";
static const WCHAR product_bench_box[] = L"BENCH-BOX";

static struct unit_device* unit_of(DEVICE_OBJECT* device)
{
    return ((HID_DEVICE_EXTENSION*)device->DeviceExtension)->MiniDeviceExtension;
}

static NTSTATUS complete(IRP* irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS copy_out(IRP* irp, const void* data, ULONG length)
{
    ULONG room = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    if (room < length)
        return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    memcpy(irp->UserBuffer, data, length);
    return complete(irp, STATUS_SUCCESS, length);
}

static ULONG string_bytes(const WCHAR* text)
{
    ULONG length = 0;
    while (text[length] != 0)
        ++length;
    return (length + 1) * sizeof(WCHAR);
}

/* Wine's hidclass asks for the USB string indices 1 to 3; Windows' for the WDK's 14 to 16. */
static NTSTATUS get_string(struct unit_device* unit, IRP* irp)
{
    ULONG id = (ULONG)(ULONG_PTR)IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.Type3InputBuffer & 0xFFFF;
    const WCHAR* text = NULL;
    if (id == 1 || id == HID_STRING_ID_IMANUFACTURER)
        text = manufacturer;
    else if (id == 2 || id == HID_STRING_ID_IPRODUCT)
        text = unit->description.product_id == 1 ? product_orbipad : product_bench_box;
    else if (id == 3 || id == HID_STRING_ID_ISERIALNUMBER)
        text = unit->instance;
    if (text == NULL)
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    return copy_out(irp, text, string_bytes(text));
}

static NTSTATUS get_device_descriptor(struct unit_device* unit, IRP* irp)
{
    HID_DESCRIPTOR descriptor = {0};
    descriptor.bLength = sizeof descriptor;
    descriptor.bDescriptorType = HID_HID_DESCRIPTOR_TYPE;
    descriptor.bcdHID = 0x0100;
    descriptor.bNumDescriptors = 1;
    descriptor.DescriptorList[0].bReportType = HID_REPORT_DESCRIPTOR_TYPE;
    descriptor.DescriptorList[0].wReportLength = unit->report_descriptor_length;
    return copy_out(irp, &descriptor, sizeof descriptor);
}

static NTSTATUS get_attributes(struct unit_device* unit, IRP* irp)
{
    HID_DEVICE_ATTRIBUTES attributes = {0};
    attributes.Size = sizeof attributes;
    attributes.VendorID = unit->description.vendor_id;
    attributes.ProductID = unit->description.product_id;
    attributes.VersionNumber = unit->description.version;
    return copy_out(irp, &attributes, sizeof attributes);
}

static NTSTATUS NTAPI dispatch_internal_ioctl(DEVICE_OBJECT* device, IRP* irp)
{
    struct unit_device* unit = unit_of(device);
    switch (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR: return get_device_descriptor(unit, irp);
    case IOCTL_HID_GET_REPORT_DESCRIPTOR: return copy_out(irp, unit->report_descriptor, unit->report_descriptor_length);
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES: return get_attributes(unit, irp);
    case IOCTL_HID_GET_STRING: return get_string(unit, irp);
    case IOCTL_HID_READ_REPORT: return unit_queue_read(unit, irp);
    case IOCTL_HID_WRITE_REPORT:
    case IOCTL_HID_SET_OUTPUT_REPORT: return unit_queue_write(unit, irp);
    case IOCTL_HID_ACTIVATE_DEVICE:
    case IOCTL_HID_DEACTIVATE_DEVICE: return complete(irp, STATUS_SUCCESS, 0);
    default: return complete(irp, STATUS_NOT_SUPPORTED, 0);
    }
}

static NTSTATUS NTAPI dispatch_pnp(DEVICE_OBJECT* device, IRP* irp)
{
    struct unit_device* unit = unit_of(device);
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        /* START must not pend: hidclass asks for the attributes and the descriptors as soon as it
         * returns, so the host is asked what the unit is here, synchronously. */
        NTSTATUS status = unit->pipe != NULL ? STATUS_INVALID_DEVICE_STATE : unit_start(unit);
        if (status == STATUS_INVALID_DEVICE_STATE)
            return complete(irp, status, 0);    /* started already: the running link stays */
        if (!NT_SUCCESS(status)) {
            unit_stop(unit);
            return complete(irp, status, 0);
        }
        break;
    }
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
        unit_stop(unit);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(unit->lower, irp);
}

/* The root device's instance ID, "0003" of ROOT\VID_21B8&PID_0002\0003: it names the host's pipe. */
static NTSTATUS query_instance(struct unit_device* unit, DEVICE_OBJECT* root)
{
    KEVENT event;
    IO_STATUS_BLOCK io;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IRP* irp = IoBuildSynchronousFsdRequest(IRP_MJ_PNP, root, NULL, 0, NULL, &event, &io);
    if (irp == NULL)
        return STATUS_NO_MEMORY;
    IO_STACK_LOCATION* stack = IoGetNextIrpStackLocation(irp);
    stack->MinorFunction = IRP_MN_QUERY_ID;
    stack->Parameters.QueryId.IdType = BusQueryInstanceID;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    if (IoCallDriver(root, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, NULL);
    if (!NT_SUCCESS(io.Status))
        return io.Status;
    const WCHAR* id = (const WCHAR*)io.Information;
    ULONG i = 0;
    for (; id[i] != 0 && i + 1 < UNIT_INSTANCE_CHARS; ++i)
        unit->instance[i] = id[i];
    unit->instance[i] = 0;
    ExFreePool((void*)io.Information);
    return STATUS_SUCCESS;
}

static NTSTATUS NTAPI add_device(DRIVER_OBJECT* driver, DEVICE_OBJECT* fdo)
{
    (void)driver;
    HID_DEVICE_EXTENSION* hid = fdo->DeviceExtension;
    struct unit_device* unit = hid->MiniDeviceExtension;
    memset(unit, 0, sizeof *unit);
    unit->fdo = fdo;
    unit->lower = hid->NextDeviceObject;
    KeInitializeSpinLock(&unit->lock);
    InitializeListHead(&unit->writes);
    KeInitializeEvent(&unit->work, SynchronizationEvent, FALSE);
    KeInitializeEvent(&unit->reply_queued, NotificationEvent, FALSE);
    return query_instance(unit, hid->PhysicalDeviceObject);
}

static VOID NTAPI unload(DRIVER_OBJECT* driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* registry_path)
{
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = dispatch_internal_ioctl;
    driver->MajorFunction[IRP_MJ_PNP] = dispatch_pnp;
    driver->DriverExtension->AddDevice = add_device;
    driver->DriverUnload = unload;

    HID_MINIDRIVER_REGISTRATION registration;
    memset(&registration, 0, sizeof registration);
    registration.Revision = HID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registry_path;
    registration.DeviceExtensionSize = sizeof(struct unit_device);
    registration.DevicesArePolled = FALSE;
    return HidRegisterMinidriver(&registration);
}
