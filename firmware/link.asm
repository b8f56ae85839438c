; The link port, calculator side. Port 7 reads 3 while both lines rest; the other
; side presents a bit as 6 (0) or 9 (1), which we acknowledge and release. We send
; a bit by pulling with E8h (1) or D4h (0) while the lines rest, then release with
; C0h. Bytes go least significant bit first. Transfers run with interrupts off.
;
; Every transfer runs under linkRun, so that a failure anywhere can drop back to
; the caller with carry set and A = the outcome.

; HL = transfer routine. -> carry clear, A = its outcome; or carry set and
; A = LINK_FAILED / LINK_CANCELLED when it gave up.
linkRun:
        di
        ld (linkSp),sp
        jp (hl)

; A protocol fault: tell the other side the transfer is off, then give up.
linkError:
        ld a,0FCh
        out (7),a
        ld a,LINK_FAILED
        jr linkGiveUp

; The other side ended the transfer with EOT; it has already reset itself.
linkCancelled:
        ld a,LINK_CANCELLED
linkGiveUp:
        ld sp,(linkSp)
        ld b,a
        ld a,0C0h               ; leave the lines released
        out (7),a
        ld a,b
        scf
        ret

; A = byte to send. Uses A, B, C.
sendByte:
        ld c,a
        ld b,8
sendBit:
        in a,(7)
        cp 3
        jp nz,linkError         ; the other side is not listening
        rr c
        ld a,0D4h
        jr nc,sendBitOut
        ld a,0E8h
sendBitOut:
        out (7),a
        ld a,0C0h
        out (7),a
        in a,(7)                ; lets the other side look at what it has
        djnz sendBit
        ret

; -> A = byte received. Uses A, B, C.
recvByte:
        ld b,8
recvBit:
        call waitLines
        cp 9
        jr z,recvOne
        cp 6
        jp nz,linkError
        or a
        jr recvTake
recvOne:
        scf
recvTake:
        rr c
        ld a,0D4h               ; acknowledge, then release
        out (7),a
        ld a,0C0h
        out (7),a
        in a,(7)                ; lets the other side go on (or finish)
        djnz recvBit
        ld a,c
        ret

; -> A = the line level once it leaves rest. The other side answers at once or
; not at all, so a long wait means it has nothing more to say.
waitLines:
        push bc
        ld bc,0
waitLinesLoop:
        in a,(7)
        cp 3
        jr nz,waitLinesDone
        dec bc
        ld a,b
        or c
        jr nz,waitLinesLoop
        jp linkError
waitLinesDone:
        pop bc
        ret

; Z when command A carries data.
hasData:
        cp CMD_VAR
        ret z
        cp CMD_DATA
        ret z
        cp CMD_SKIP
        ret

; A = command of a packet without data.
sendEmpty:
        ld hl,0
        ld d,h
        ld e,l
; A = command, HL = data, DE = its length (used only when the command has data).
sendPacket:
        ld (pktCmd),a
        ld a,MACHINE_ID
        call sendByte
        ld a,(pktCmd)
        call sendByte
        ld a,(pktCmd)
        call hasData
        jr z,sendPacketData
        xor a
        call sendByte
        xor a
        jp sendByte
sendPacketData:
        ld a,e
        call sendByte
        ld a,d
        call sendByte
        push hl
        ld hl,0
        ld (pktSum),hl
        pop hl
sendPacketByte:
        ld a,d
        or e
        jr z,sendPacketSum
        ld a,(hl)
        push hl
        ld hl,(pktSum)
        add a,l
        ld l,a
        jr nc,sendPacketNoCarry
        inc h
sendPacketNoCarry:
        ld (pktSum),hl
        pop hl
        ld a,(hl)
        call sendByte
        inc hl
        dec de
        jr sendPacketByte
sendPacketSum:
        ld a,(pktSum)
        call sendByte
        ld a,(pktSum + 1)
        jp sendByte

; HL = where the data goes, DE = room there. -> pktCmd, pktLen, data at HL.
; A packet larger than the room, or with a wrong checksum, is a fault.
recvPacket:
        ld (pktDest),hl
        ld (pktCap),de
        call recvByte           ; machine id: not examined
        call recvByte
        ld (pktCmd),a
        call recvByte
        ld (pktLen),a
        call recvByte
        ld (pktLen + 1),a
        ld a,(pktCmd)
        call hasData
        ret nz
        ld hl,(pktCap)
        ld de,(pktLen)
        or a
        sbc hl,de
        jp c,linkError
        ld hl,0
        ld (pktSum),hl
        ld hl,(pktDest)
recvPacketByte:
        ld a,d
        or e
        jr z,recvPacketSum
        call recvByte
        ld (hl),a
        push hl
        ld hl,(pktSum)
        add a,l
        ld l,a
        jr nc,recvPacketNoCarry
        inc h
recvPacketNoCarry:
        ld (pktSum),hl
        pop hl
        inc hl
        dec de
        jr recvPacketByte
recvPacketSum:
        call recvByte
        ld e,a
        call recvByte
        ld d,a
        ld hl,(pktSum)
        or a
        sbc hl,de
        jp nz,linkError
        ret

; A small packet into pktBuf. EOT ends the transfer as cancelled. -> A = command.
recvReply:
        ld hl,pktBuf
        ld de,PKTBUF_SIZE
        call recvPacket
        ld a,(pktCmd)
        cp CMD_EOT
        jp z,linkCancelled
        ret

; Receives a group of variables into the store: each header is answered with ACK
; and CTS (or ACK and SKIP when it cannot be kept), each data packet with ACK, the
; final EOT with ACK.
receiveGroup:
        xor a
        ld (rxLastSkipped),a
        ld (rxAnySkipped),a
        ld (linkCount),a
receiveNext:
        ld hl,pktBuf
        ld de,PKTBUF_SIZE
        call recvPacket
        ld a,(pktCmd)
        cp CMD_ACK
        jr z,receiveNext        ; after a SKIP the other side acknowledges it first
        cp CMD_EOT
        jp z,receiveEnd
        cp CMD_VAR
        jp nz,linkError
        ld hl,(pktLen)
        ld de,3
        or a
        sbc hl,de
        jp c,linkError          ; a header without a type byte
        ld a,(pktBuf + 2)
        cp 1Dh
        jp z,receiveSkip        ; a memory backup is not for this firmware
        ; room for both entries: 6 + header length + announced data length
        ld hl,(pktBuf)
        ld de,(pktLen)
        add hl,de
        jp c,receiveSkip
        ld de,6
        add hl,de
        jp c,receiveSkip
        ex de,hl
        ld hl,STORE_LIMIT
        ld bc,(storeEnd)
        or a
        sbc hl,bc
        sbc hl,de
        jp c,receiveSkip
        ; the header entry, kept only once its data has arrived
        ld hl,(storeEnd)
        ld (rxVarStart),hl
        ld (hl),CMD_VAR
        inc hl
        ld de,(pktLen)
        ld (hl),e
        inc hl
        ld (hl),d
        inc hl
        ex de,hl
        ld b,h
        ld c,l
        ld hl,pktBuf
        ldir
        ld (rxEntry),de
        xor a
        ld (rxLastSkipped),a
        ld a,CMD_ACK
        call sendEmpty
        ld a,CMD_CTS
        call sendEmpty
        call recvReply
        cp CMD_ACK
        jp nz,linkError
        ld hl,(rxEntry)
        inc hl
        inc hl
        inc hl
        ex de,hl
        ld hl,STORE_LIMIT
        or a
        sbc hl,de
        ex de,hl                ; DE = room left, HL = where the data goes
        call recvPacket
        ld a,(pktCmd)
        cp CMD_DATA
        jp nz,linkError
        ld hl,(rxEntry)
        ld (hl),CMD_DATA
        inc hl
        ld de,(pktLen)
        ld (hl),e
        inc hl
        ld (hl),d
        inc hl
        add hl,de
        ld (storeEnd),hl
        ld hl,varCount
        inc (hl)
        ld hl,linkCount
        inc (hl)
        call replaceOlder
        ld a,CMD_ACK
        call sendEmpty
        jp receiveNext
receiveSkip:
        ld a,1
        ld (rxLastSkipped),a
        ld (rxAnySkipped),a
        ld a,CMD_ACK
        call sendEmpty
        ld hl,skipReason
        ld de,1
        ld a,CMD_SKIP
        call sendPacket
        jp receiveNext
receiveEnd:
        ; An EOT right after a SKIP closes a refused transfer: the other side has
        ; reset itself and expects no answer.
        ld a,(rxLastSkipped)
        or a
        jr nz,receiveDone
        ld a,CMD_ACK
        call sendEmpty
receiveDone:
        ld a,(rxAnySkipped)
        or a
        ld a,LINK_OK
        ret z
        ld a,LINK_SKIPPED
        or a
        ret

; SKIP reason: skip this variable.
skipReason:
        DEFB 2

; Sends every stored variable as one group: header, wait for ACK and CTS, ACK and
; the data, wait for ACK; then EOT and wait for its ACK.
sendGroup:
        xor a
        ld (linkCount),a
        ld hl,STORE_START
sendNextVar:
        ld (txPtr),hl
        ld de,(storeEnd)
        or a
        sbc hl,de
        jr nc,sendEot
        ld hl,(txPtr)
        call sendEntry
        ld (txPtr),hl
        call recvReply
        cp CMD_ACK
        jp nz,linkError
        call recvReply
        cp CMD_SKIP
        jr z,sendSkipData
        cp CMD_CTS
        jp nz,linkError
        ld a,CMD_ACK
        call sendEmpty
sendData:
        call nextIsData
        jr nz,sendVarDone
        call sendEntry
        ld (txPtr),hl
        call recvReply
        cp CMD_ACK
        jp nz,linkError
        jr sendData
sendVarDone:
        ld hl,linkCount
        inc (hl)
        ld hl,(txPtr)
        jr sendNextVar
sendSkipData:
        call nextIsData
        jr nz,sendSkipped
        inc hl
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        add hl,de
        ld (txPtr),hl
        jr sendSkipData
sendSkipped:
        ld hl,(txPtr)
        jr sendNextVar
sendEot:
        ld a,CMD_EOT
        call sendEmpty
        call recvReply
        cp CMD_ACK
        jp nz,linkError
        xor a                   ; LINK_OK, carry clear
        ret

; Z when the entry at txPtr is a data entry inside the store; HL = txPtr.
nextIsData:
        ld hl,(txPtr)
        ld de,(storeEnd)
        or a
        sbc hl,de
        ld hl,(txPtr)
        jr nc,nextIsDataNo
        ld a,(hl)
        cp CMD_DATA
        ret
nextIsDataNo:
        or 1
        ret

; HL = store entry; sends it as a packet. -> HL = the entry after it.
sendEntry:
        ld a,(hl)
        inc hl
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        push hl
        add hl,de
        ex (sp),hl
        call sendPacket
        pop hl
        ret

; A variable received under a name the store already holds replaces the older one:
; the older one is taken out and everything after it moves down. Names are unique
; in the store, so there is at most one.
replaceOlder:
        ld hl,STORE_START
replaceOlderNext:
        push hl
        ld de,(rxVarStart)
        or a
        sbc hl,de
        pop hl
        ret nc
        push hl
        call sameName
        pop hl
        jr z,replaceOlderFound
        call skipVariable
        jr replaceOlderNext
replaceOlderFound:
        push hl                 ; start of the older variable
        call skipVariable
        ex de,hl                ; DE = its end
        ld hl,(storeEnd)
        or a
        sbc hl,de
        ld b,h
        ld c,l                  ; BC = bytes after it, the new variable at least
        ex de,hl
        pop de
        push hl
        push de
        ldir
        pop de
        pop hl
        or a
        sbc hl,de
        ex de,hl                ; DE = size taken out
        ld hl,(storeEnd)
        or a
        sbc hl,de
        ld (storeEnd),hl
        ld hl,(rxVarStart)
        or a
        sbc hl,de
        ld (rxVarStart),hl
        ld hl,varCount
        dec (hl)
        ret

; HL = a header entry. Z when its name equals the name of the variable at rxVarStart.
sameName:
        ld de,(rxVarStart)
        ld bc,6                 ; command, length, data size, type: the name length follows
        add hl,bc
        ex de,hl
        add hl,bc
        ex de,hl
        ld a,(de)
        cp (hl)
        ret nz
        ld b,a
        inc b
sameNameByte:
        dec b
        ret z
        inc hl
        inc de
        ld a,(de)
        cp (hl)
        ret nz
        jr sameNameByte

; HL = a header entry -> HL = the entry after its data entries.
skipVariable:
        call skipEntry
skipVariableData:
        push hl
        ld de,(storeEnd)
        or a
        sbc hl,de
        pop hl
        ret nc
        ld a,(hl)
        cp CMD_DATA
        ret nz
        call skipEntry
        jr skipVariableData

skipEntry:
        inc hl
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        add hl,de
        ret
