; 32-bit signed integer arithmetic on little-endian numbers in RAM. Operations that
; can fail return carry set and A = 1 (syntax), 2 (overflow) or 3 (divide by 0).

ERR_SYNTAX      EQU 1
ERR_OVERFLOW    EQU 2
ERR_DIVZERO     EQU 3

; Evaluates inputBuf into numA.
evaluate:
        ld hl,inputBuf
        ld (parsePtr),hl
        ld hl,sumAcc
        call zero32
        call parseFactor
        ret c
        ld hl,numB
        ld de,termAcc
        call copy32
evaluateNext:
        ld hl,(parsePtr)
        ld a,(hl)
        or a
        jr z,evaluateEnd
        inc hl
        ld (parsePtr),hl
        cp "*"
        jr z,evaluateProduct
        cp "/"
        jr z,evaluateProduct
        cp "+"
        jr z,evaluateSum
        cp "-"
        jr z,evaluateSum
        ld a,ERR_SYNTAX
        scf
        ret
evaluateProduct:
        push af
        ld hl,termAcc
        ld de,numA
        call copy32
        call parseFactor
        pop de
        ret c
        ld a,d
        cp "*"
        jr nz,evaluateQuotient
        call mul32
        jr evaluateTermDone
evaluateQuotient:
        call div32
evaluateTermDone:
        ret c
        ld hl,numA
        ld de,termAcc
        call copy32
        jr evaluateNext
evaluateSum:
        push af
        call addTermToSum
        pop de
        ret c
        push de
        call parseFactor
        pop de
        ret c
        ld a,d
        cp "-"
        jr nz,evaluateNewTerm
        ld hl,numB              ; a factor never exceeds 7FFFFFFFh, so this fits
        call neg32
evaluateNewTerm:
        ld hl,numB
        ld de,termAcc
        call copy32
        jr evaluateNext
evaluateEnd:
        call addTermToSum
        ret c
        ld hl,sumAcc
        ld de,numA
        jp copy32               ; carry clear from the addition

; sumAcc := sumAcc + termAcc.
addTermToSum:
        ld hl,sumAcc
        ld de,numA
        call copy32
        ld hl,termAcc
        ld de,numB
        call copy32
        call add32
        ret c
        ld hl,numA
        ld de,sumAcc
        jp copy32

; A factor: any number of negative signs, then at least one digit -> numB.
parseFactor:
        ld c,0                  ; sign toggles
parseSign:
        ld hl,(parsePtr)
        ld a,(hl)
        cp CH_NEG
        jr nz,parseDigits
        inc hl
        ld (parsePtr),hl
        ld a,c
        xor 1
        ld c,a
        jr parseSign
parseDigits:
        push bc
        ld hl,numB
        call zero32
        pop bc
        ld b,0                  ; digits seen
parseDigit:
        ld hl,(parsePtr)
        ld a,(hl)
        sub "0"
        jr c,parseDigitsDone
        cp 10
        jr nc,parseDigitsDone
        inc hl
        ld (parsePtr),hl
        push bc
        call mul10Add
        pop bc
        jr c,parseOverflow
        inc b
        jr parseDigit
parseDigitsDone:
        ld a,b
        or a
        jr z,parseSyntax
        ld a,c
        or a
        ret z
        ld hl,numB
        call neg32
        or a
        ret
parseSyntax:
        ld a,ERR_SYNTAX
        scf
        ret
parseOverflow:
        ld a,ERR_OVERFLOW
        scf
        ret

; numB := numB * 10 + A, carry when the result exceeds 7FFFFFFFh.
mul10Add:
        push af
        ld hl,numB
        ld de,numR
        call copy32
        ld hl,numB
        call shl32              ; x2
        jr c,mul10Overflow
        ld hl,numB
        call shl32              ; x4
        jr c,mul10Overflow
        ld hl,numB
        ld de,numR
        call addTo32            ; x5
        jr c,mul10Overflow
        ld hl,numB
        call shl32              ; x10
        jr c,mul10Overflow
        pop af
        ld (numR),a
        xor a
        ld (numR + 1),a
        ld (numR + 2),a
        ld (numR + 3),a
        ld hl,numB
        ld de,numR
        call addTo32
        ret c
        ld a,(numB + 3)
        rlca                    ; bit 31 set: beyond the largest positive number
        ret
mul10Overflow:
        pop af
        scf
        ret

; numA := numA + numB, carry and A = 2 on overflow.
add32:
        ld a,(numA + 3)
        ld c,a
        ld a,(numB + 3)
        xor c
        ld b,a                  ; bit 7: the signs differ, no overflow possible
        push bc
        ld hl,numA
        ld de,numB
        call addTo32
        pop bc
        bit 7,b
        jr nz,add32Fits
        ld a,(numA + 3)
        xor c
        rlca                    ; the sum's sign differs from both operands'
        ld a,ERR_OVERFLOW
        ret
add32Fits:
        or a
        ret

; numA := numA * numB.
mul32:
        call takeMagnitudes
        ld hl,numR
        call zero32
        ld c,32
mul32Bit:
        push bc
        ld hl,numR
        call shl32
        jr c,mul32Overflow
        ld hl,numB
        call shl32              ; next multiplier bit, highest first
        jr nc,mul32Next
        ld hl,numR
        ld de,numA
        call addTo32
        jr c,mul32Overflow
mul32Next:
        pop bc
        dec c
        jr nz,mul32Bit
        ld hl,numR
        ld de,numA
        call copy32
        jp applySign
mul32Overflow:
        pop bc
        ld a,ERR_OVERFLOW
        scf
        ret

; numA := numA / numB, truncated towards zero.
div32:
        ld hl,numB
        call isZero32
        jr nz,div32Go
        ld a,ERR_DIVZERO
        scf
        ret
div32Go:
        call takeMagnitudes
        call udiv32
        jp applySign

; mathSign := sign of numA xor sign of numB; both become their magnitudes.
takeMagnitudes:
        ld a,(numA + 3)
        ld hl,numB + 3
        xor (hl)
        ld (mathSign),a
        ld hl,numA
        call absolute
        ld hl,numB
        jp absolute

; numA holds a magnitude; gives it the sign in mathSign. Carry and A = 2 when it
; does not fit.
applySign:
        ld a,(numA + 3)
        bit 7,a
        jr z,applySignFits
        and 7Fh                 ; only 80000000h fits, and only as a negative number
        ld hl,numA
        or (hl)
        inc hl
        or (hl)
        inc hl
        or (hl)
        jr nz,applySignOverflow
        ld a,(mathSign)
        or a
        jp p,applySignOverflow
        ret                     ; carry clear from OR
applySignFits:
        ld a,(mathSign)
        or a
        ret p
        ld hl,numA
        call neg32
        or a
        ret
applySignOverflow:
        ld a,ERR_OVERFLOW
        scf
        ret

; Unsigned: numA := numA / numB, numR := the remainder. numB is not 0.
udiv32:
        ld hl,numR
        call zero32
        ld c,32
udiv32Bit:
        push bc
        ld hl,numA
        call shl32
        ld hl,numR
        call rl32
        ld hl,numR
        ld de,numB
        call subFrom32
        jr nc,udiv32One
        ld hl,numR
        ld de,numB
        call addTo32
        jr udiv32Next
udiv32One:
        ld hl,numA
        set 0,(hl)
udiv32Next:
        pop bc
        dec c
        jr nz,udiv32Bit
        ret

; numA as decimal text -> HL (inside digitBuf). numA is used up.
formatNumber:
        ld a,(numA + 3)
        ld (mathSign),a
        ld hl,numA
        call absolute           ; 80000000h stays, read unsigned it is right
        ld hl,digitBuf + 12
        ld (hl),0
formatDigit:
        push hl
        ld hl,numB
        call zero32
        ld a,10
        ld (numB),a
        call udiv32
        pop hl
        ld a,(numR)
        add a,"0"
        dec hl
        ld (hl),a
        push hl
        ld hl,numA
        call isZero32
        pop hl
        jr nz,formatDigit
        ld a,(mathSign)
        or a
        ret p
        dec hl
        ld (hl),CH_NEG
        ret

; --- helpers on the 4 bytes at HL ---

zero32:
        xor a
        ld (hl),a
        inc hl
        ld (hl),a
        inc hl
        ld (hl),a
        inc hl
        ld (hl),a
        ret

; Z when zero.
isZero32:
        ld a,(hl)
        inc hl
        or (hl)
        inc hl
        or (hl)
        inc hl
        or (hl)
        ret

; Copies 4 bytes from HL to DE.
copy32:
        ld bc,4
        ldir
        ret

; Shift left, carry = the bit shifted out.
shl32:
        or a
; Rotate left through carry.
rl32:
        ld b,4
rl32Byte:
        rl (hl)
        inc hl
        djnz rl32Byte
        ret

; (HL) := (HL) + (DE), carry out of bit 31.
addTo32:
        or a
        ld b,4
addTo32Byte:
        ld a,(de)
        adc a,(hl)
        ld (hl),a
        inc hl
        inc de
        djnz addTo32Byte
        ret

; (HL) := (HL) - (DE), carry = borrow.
subFrom32:
        or a
        ld b,4
subFrom32Byte:
        ld a,(de)
        ld c,a
        ld a,(hl)
        sbc a,c
        ld (hl),a
        inc hl
        inc de
        djnz subFrom32Byte
        ret

; (HL) := -(HL).
neg32:
        push hl
        ld b,4
neg32Flip:
        ld a,(hl)
        cpl
        ld (hl),a
        inc hl
        djnz neg32Flip
        pop hl
        ld b,4
neg32Carry:
        inc (hl)
        ret nz
        inc hl
        djnz neg32Carry
        ret

absolute:
        push hl
        inc hl
        inc hl
        inc hl
        bit 7,(hl)
        pop hl
        ret z
        jp neg32
