; Vantrel demo firmware: a small integer calculator with a link menu, written for
; the TI-85 hardware as the emulator presents it. Everything lives in ROM page 0.
;
; Page 0 layout:
;   0000        reset: jump to boot
;   0038        interrupt routine (IM 1: keys arrive only with interrupts)
;   0141 0149 0158   version marks the loader tests and then overwrites
;   0200        font and texts
;   0B15        RET: the loader's cold start plants CALL 0B15h at 0D01h
;   0D01-0D04   left free for that CALL
;   0D10        code
;   328A        version text "10.0"
;   3FFF        last byte of the page, overwritten by the loader
; Pages 1 to 7 are padding.

        INCLUDE "equates.asm"

        ORG 0000h
reset:
        di
        jp boot

        ORG 0038h
; Keys, link wake-ups and injected requests all land here. In the classic model the
; request carries the key in the key latch; a request without a key (latch 0) reads
; as no key at all. In the hardware model the periodic interrupt lands here 200 times
; a second, and [ON]; the keypad is scanned then.
interrupt:
        di                      ; interrupts stay enabled on acceptance here
        push af
        push bc
        push de
        push hl
        call interruptSources
        jr z,interruptHardware
        call readKey
        or a
        call nz,acceptKey
        jr interruptHalt
interruptHardware:
        call hardwareInterrupt
interruptHalt:
        ; An interrupt taken between EI and HALT would otherwise leave the idle loop
        ; asleep with a key waiting: step over that HALT so the loop looks again.
        ld hl,8
        add hl,sp
        ld e,(hl)
        inc hl
        ld d,(hl)
        ld a,(de)
        cp 76h
        jr nz,interruptDone
        inc de
        ld (hl),d
        dec hl
        ld (hl),e
interruptDone:
        pop hl
        pop de
        pop bc
        pop af
        ei
        ret

        IF $ > 0141h
        .ERROR interrupt routine runs into the version marks
        ENDIF

        ORG 0141h
        DEFB 05h
        ORG 0149h
        DEFB 0Eh
        ORG 0158h
        DEFB 46h

        ORG 0200h
        INCLUDE "font.asm"
        INCLUDE "texts.asm"

        IF $ > 0B15h
        .ERROR font and texts run into 0B15h
        ENDIF

        ORG 0B15h
coldStartHook:
        ret

        ORG 0D10h
        INCLUDE "screen.asm"
        INCLUDE "keys.asm"
        INCLUDE "calc.asm"
        INCLUDE "math.asm"
        INCLUDE "link.asm"
        INCLUDE "linkmenu.asm"
        INCLUDE "keypad.asm"
        INCLUDE "game.asm"
codeEnd:

        IF $ > 328Ah
        .ERROR code runs into the version text
        ENDIF

        ORG 328Ah
        DEFM "10.0"

        ORG 3FFFh
        DEFB 0FFh

        END
