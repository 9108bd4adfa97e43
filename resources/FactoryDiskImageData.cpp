// Links the factory volume built by tools/diskimage into the program as it
// is: the assembler reads the file, so no 8 MiB array passes through the
// compiler. The path comes from the build.

#ifndef TESSEL_FACTORY_DISK_IMAGE
#error "the build names the image file in TESSEL_FACTORY_DISK_IMAGE"
#endif

#ifndef TESSEL_FACTORY_DISK_IMAGE_IS_OURS
#error "the build says in TESSEL_FACTORY_DISK_IMAGE_IS_OURS whose image it links in"
#endif

extern "C"
{
extern const bool FactoryDiskImageHasPlaceholderIrs;
const bool FactoryDiskImageHasPlaceholderIrs = TESSEL_FACTORY_DISK_IMAGE_IS_OURS != 0;
}

__asm__(".section .rodata\n"
        ".balign 64\n"
        ".global FactoryDiskImage\n"
        ".type FactoryDiskImage, @object\n"
        "FactoryDiskImage:\n"
        ".incbin \"" TESSEL_FACTORY_DISK_IMAGE "\"\n"
        "FactoryDiskImageEnd:\n"
        ".size FactoryDiskImage, FactoryDiskImageEnd - FactoryDiskImage\n"
        ".balign 8\n"
        ".global FactoryDiskImageSize\n"
        ".type FactoryDiskImageSize, @object\n"
        "FactoryDiskImageSize:\n"
        ".quad FactoryDiskImageEnd - FactoryDiskImage\n"
        ".size FactoryDiskImageSize, 8\n"
        ".previous\n");
