# Velkor's A/B boot script for U-Boot 2023.01 and later (hush shell; needs no setexpr).
# Make boot.scr from it with:
#   mkimage -A arm64 -O linux -T script -C none -n "Velkor A/B boot" -d velkor-boot.cmd boot.scr
#
# It reads BOOT_ORDER ("A B" or "B A"), BOOT_A_LEFT and BOOT_B_LEFT (one decimal digit each, 0 to 9)
# as velkor-device keeps them. It boots only when all three are well formed, a slot of BOOT_ORDER has
# tries left and saveenv has stored the try it takes; otherwise it boots nothing and returns, so that
# bootcmd goes on to the device's recovery. Its own variables are the shell's, never stored.
# velkor_part_a and velkor_part_b are the partitions of the two OS slots: set them to the device's.
velkor_part_a=2
velkor_part_b=3
# The shell cannot empty a variable, so "none" and "bad" stand for nothing.
velkor_slot=none
velkor_part=none
velkor_order=none
velkor_a_next=bad
velkor_b_next=bad
if test "x${BOOT_ORDER}" = "xA B" || test "x${BOOT_ORDER}" = "xB A"; then velkor_order=${BOOT_ORDER}; fi
# Each count's successor, by table: "none" for 0, "bad" for anything that is not one digit.
velkor_before=none
for velkor_count in 0 1 2 3 4 5 6 7 8 9; do
  if test "x${BOOT_A_LEFT}" = "x${velkor_count}"; then velkor_a_next=${velkor_before}; fi
  if test "x${BOOT_B_LEFT}" = "x${velkor_count}"; then velkor_b_next=${velkor_before}; fi
  velkor_before=${velkor_count}
done
if test "x${velkor_a_next}" = "xbad" || test "x${velkor_b_next}" = "xbad"; then velkor_order=none; fi
for velkor_try in ${velkor_order}; do
  if test "x${velkor_slot}" = "xnone" && test "x${velkor_try}" = "xA" && test "x${velkor_a_next}" != "xnone"; then
    setenv BOOT_A_LEFT ${velkor_a_next}; velkor_slot=A; velkor_part=${velkor_part_a}
  fi
  if test "x${velkor_slot}" = "xnone" && test "x${velkor_try}" = "xB" && test "x${velkor_b_next}" != "xnone"; then
    setenv BOOT_B_LEFT ${velkor_b_next}; velkor_slot=B; velkor_part=${velkor_part_b}
  fi
done
if test "x${velkor_slot}" = "xnone"; then
  echo "Velkor: no slot can boot (BOOT_ORDER=\"${BOOT_ORDER}\" BOOT_A_LEFT=${BOOT_A_LEFT} BOOT_B_LEFT=${BOOT_B_LEFT}): stopping for recovery"
elif saveenv; then
  echo "Velkor: booting slot ${velkor_slot}"
  setenv bootargs "${bootargs} root=/dev/mmcblk0p${velkor_part} velkor.slot=${velkor_slot}"
  load mmc 0:${velkor_part} ${kernel_addr_r} /boot/zImage && bootz ${kernel_addr_r} - ${fdt_addr_r}
else
  echo "Velkor: the environment cannot be stored, so slot ${velkor_slot} is not booted: stopping for recovery"
fi
