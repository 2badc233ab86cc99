@ A small Cortex-M program as a toolchain builds one: a vector table and code in flash, and
@ initialised data that is stored in flash and copied to RAM at reset.
    .syntax unified
    .cpu cortex-m3
    .thumb

    .section .isr_vector, "a"
    .word _estack
    .word reset_handler
    .word fault_handler
    .word fault_handler

    .text
    .thumb_func
    .global reset_handler
reset_handler:
    ldr r0, =_sidata
    ldr r1, =_sdata
    ldr r2, =_edata
copy_data:
    cmp r1, r2
    bcs count_forever
    ldr r3, [r0], #4
    str r3, [r1], #4
    b copy_data
count_forever:
    ldr r0, =counter
    ldr r1, [r0]
    adds r1, #1
    str r1, [r0]
    b count_forever

    .thumb_func
fault_handler:
    b fault_handler

    .section .rodata
table:
    .set value, 1
    .rept 300
    .word value
    .set value, (value * 5 + 7) & 0xFFFF
    .endr

    .data
counter:
    .word 0x12345678
greeting:
    .ascii "initialised data, copied to RAM at reset\0"
    .balign 4

    .bss
scratch:
    .space 256
