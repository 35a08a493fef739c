// The wrapper template, carried inside the tool (BOUNTIQ_TEMPLATE is the
// path of its file, a string, when this is compiled).
__asm__(".section .rodata\n"
        ".balign 16\n"
        ".global bountiq_template\n"
        "bountiq_template:\n"
        ".incbin \"" BOUNTIQ_TEMPLATE "\"\n"
        ".global bountiq_template_end\n"
        "bountiq_template_end:\n"
        ".previous\n");
