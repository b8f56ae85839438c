; Keys: the interrupt routine reads the latched key and queues it with the shift
; that was pending; the main program takes keys from the queue.

; -> A = the key code seen on the ports, 0 for none. Status 01 means [ON].
readKey:
        in a,(3)
        cp 1
        ld a,K_ON
        ret z
        ld c,0FEh               ; group 0 selected; a set bit excludes its group
        ld d,1                  ; code of bit 0 in the group
readKeyGroup:
        ld a,c
        out (1),a
        in a,(1)
        cp 0FFh
        jr nz,readKeyBit
        ld a,d
        add a,8
        ld d,a
        rlc c
        cp 57
        jr c,readKeyGroup
        xor a
        ret
readKeyBit:
        rrca
        jr nc,readKeyFound
        inc d
        jr readKeyBit
readKeyFound:
        ld a,d
        ret

; A = key code (not 0). [2nd] and [ALPHA] only set their shift flag; any other key
; takes the pending shift with it into the queue and clears it (B = the code queued).
acceptKey:
        ld hl,SHIFT_FLAGS
        cp K_2ND
        jr nz,acceptNot2nd
        ld a,(hl)
        xor SHIFT_2ND
        and 0FFh - SHIFT_ALPHA
        ld (hl),a
        ret
acceptNot2nd:
        cp K_ALPHA
        jr nz,acceptKeyCode
        ld a,(hl)
        xor SHIFT_ALPHA
        and 0FFh - SHIFT_2ND
        ld (hl),a
        ret
acceptKeyCode:
        ld b,a
        ld a,(hl)
        bit 3,a
        jr z,acceptNoSecond
        set 6,b
acceptNoSecond:
        bit 4,a
        jr z,acceptNoAlpha
        set 7,b
acceptNoAlpha:
        and 0FFh - SHIFT_2ND - SHIFT_ALPHA
        ld (hl),a
; B = key code with its shift: into the queue. Keeps B.
queueKey:
        ld a,(keyTail)
        ld e,a
        inc a
        and 0Fh
        ld hl,keyHead
        cp (hl)
        ret z                   ; queue full: the key is dropped
        ld (keyTail),a
        ld d,0
        ld hl,keyQueue
        add hl,de
        ld (hl),b
        ret

; -> A = next queued key and NZ, or A = 0 and Z when none is queued.
getKey:
        ld a,(keyHead)
        ld hl,keyTail
        cp (hl)
        jr z,getKeyNone
        ld e,a
        inc a
        and 0Fh
        ld (keyHead),a
        ld d,0
        ld hl,keyQueue
        add hl,de
        ld a,(hl)
        or a
        ret
getKeyNone:
        xor a
        ret

; Sleeps until a key comes and returns it in A. [2nd] [ON] switches the
; calculator off here, wherever it is waited for. Meanwhile the entry's cursor, when
; it is on the screen, shows the shift that [2nd] or [ALPHA] leaves pending.
waitKey:
        call getKey
        jr z,waitKeySleep
        cp K_OFF
        ret nz
        call powerOff
        jr waitKey
waitKeySleep:
        ld a,(cursorShown)
        or a
        call nz,cursorFollowsShift
        ei
        halt
        jr waitKey

; Display off until [ON], the one key the keypad delivers while the display is off.
; The screen comes back as it was. In the hardware model only the [ON] interrupt stays
; enabled, so that the calculator sleeps until [ON].
powerOff:
        ld a,(hwModel)
        or a
        ld a,PORT3_OFF
        jr z,powerOffPort
        ld a,PORT3_OFF_HW
powerOffPort:
        call setPort3
powerOffSleep:
        ei
        halt
        call getKey
        cp K_ON
        jr nz,powerOffSleep
        ld a,PORT3_ON
; A = port 3's value, kept for the interrupt routine's acknowledgements.
setPort3:
        ld (port3Shadow),a
        out (3),a
        ret
