# The same layout in a 64-bit ELF, made by the host's own assembler: the reader takes either class.
    .section .isr_vector, "a"
    .quad 0x1122334455667788
    .text
    .global reset_handler
reset_handler:
    jmp reset_handler
    .data
    .ascii "sixty-four bit data\0"
    .bss
    .space 32
