; The two models, and the hardware model's keypad.
;
; In the classic model an interrupt comes when the window has a key for us, and port 3
; reads 0Ah, or 01h for [ON], whatever is written to it. In the hardware model the
; periodic interrupt comes 200 times a second and [ON] raises its own; port 3 says
; which happened, and writing 0 to a source's enable bit acknowledges it. So an
; interrupt acknowledges what it found and reads port 3 again before enabling the
; sources again (a source disabled cannot happen anew): a source still there means the
; classic model. The model is told afresh at every interrupt, so that a state carried
; from one model to the other runs on as the model it finds.

; -> Z in the hardware model, NZ in the classic model (hwModel says the same);
; C = port 3 as the interrupt found it. The sources found are acknowledged.
interruptSources:
        in a,(3)
        ld c,a
sourcesLook:
        and SOURCE_ON + SOURCE_PERIODIC
        ld b,a
        cpl
        ld hl,port3Shadow
        and (hl)
        out (3),a               ; their enable bits 0: acknowledged
        in a,(3)
        ld e,a
        ld a,(hl)
        out (3),a               ; and enabled again
        ld a,e
        and b
        jr nz,sourcesClassic
; A source that shows only at the second read came between the reads, or it is the
; classic model's key latch that changed between them (to or from [ON]): look again
; with it (the sources found are kept in C), until a read agrees with the one before.
        ld a,e
        and SOURCE_ON + SOURCE_PERIODIC
        jr z,sourcesHardware
        or c
        ld c,a
        ld a,e
        jr sourcesLook
sourcesHardware:
        ld a,1
        ld (hwModel),a          ; Z from the AND stays
        ret
sourcesClassic:
        xor a
        ld (hwModel),a
        inc a                   ; NZ
        ret

; At boot, before interrupts: the same test with both sources acknowledged.
detectModel:
        ld a,PORT3_ACK
        out (3),a
        in a,(3)
        and SOURCE_ON + SOURCE_PERIODIC
        ld a,1
        jr z,detectModelSet
        xor a
detectModelSet:
        ld (hwModel),a
        ret

; The hardware model's interrupt: C = port 3 as found. [ON] pressed is a key; at the
; periodic interrupt the tick is counted and the keypad scanned.
hardwareInterrupt:
        bit 0,c
        jr z,hardwareNoOn
        push bc
        ld a,K_ON
        call pressKey
        pop bc
hardwareNoOn:
        bit 1,c
        ret z
        ld hl,(ticks)
        inc hl
        ld (ticks),hl
; Reads every group of the key matrix; a key held now and not at the last scan is
; pressed. Several keys held at once are all seen, in keyHeld.
scanKeys:
        ld hl,keyHeld
        ld c,0FEh               ; group 0 selected; a set bit leaves its group out
        ld d,1                  ; the code of the group's bit 0
scanGroup:
        ld a,c
        out (1),a
        in a,(1)
        cpl                     ; a bit set for a key held
        ld e,a
        ld a,(hl)
        cpl
        and e                   ; held now, not before
        ld (hl),e
        call nz,scanPresses
        inc hl
        ld a,d
        add a,8
        ld d,a
        rlc c
        cp KEY_GROUPS * 8 + 1
        jr c,scanGroup
; The key that repeats: while it stays held, again after the delay, then at its rate.
scanRepeat:
        ld a,(repeatKey)
        or a
        ret z
        call keyIsHeld
        jr z,scanRepeatEnd
        ld hl,repeatTicks
        inc (hl)
        ld a,(hl)
        cp REPEAT_DELAY
        ret c
        ld (hl),REPEAT_DELAY - REPEAT_EVERY
        ld a,(repeatCode)
        ld b,a
        jp queueKey
scanRepeatEnd:
        xor a
        ld (repeatKey),a
        ret

; A = the keys of a group newly held, D = the code of its bit 0. Keeps C, D, HL.
scanPresses:
        push hl
        push bc
        push de
        ld b,a
scanPressBit:
        srl b
        jr nc,scanPressNext
        push bc
        push de
        ld a,d
        call pressKey
        pop de
        pop bc
scanPressNext:
        inc d
        ld a,b
        or a
        jr nz,scanPressBit
        pop de
        pop bc
        pop hl
        ret

; A = the code of a key just pressed. A press ends the repeat of the key before it;
; arrows and DEL repeat while held, with the shift they were pressed with.
pressKey:
        ld e,a
        xor a
        ld (repeatKey),a
        ld a,e
        push de
        call acceptKey
        pop de
        ld a,e
        cp K_UP + 1
        jr c,pressRepeats
        cp K_DEL
        ret nz
pressRepeats:
        ld (repeatKey),a
        ld a,b
        ld (repeatCode),a
        xor a
        ld (repeatTicks),a
        ret

; A = a key code (1-56) -> NZ while it is held at the last scan.
keyIsHeld:
        dec a
        ld e,a
        and 7
        ld b,a
        inc b
        ld a,e
        rrca
        rrca
        rrca
        and 1Fh
        ld e,a
        ld d,0
        ld hl,keyHeld
        add hl,de
        ld a,(hl)
keyIsHeldBit:
        rrca
        djnz keyIsHeldBit
        sbc a,a                 ; the bit, as 0 or FFh
        ret

; [2nd] [UP] darkens the screen and [2nd] [DOWN] lightens it, through port 2, with the
; calculator's own copy of the contrast kept in RAM.
contrastDarker:
        ld a,(contrast)
        cp CONTRAST_MAX
        ret nc
        inc a
        jr contrastSet
contrastLighter:
        ld a,(contrast)
        or a
        ret z
        dec a
contrastSet:
        ld (contrast),a
        out (2),a
        ret
