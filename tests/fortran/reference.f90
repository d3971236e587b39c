! Reference for the differential test: the Fortran runtime's own list-directed read
! and "(E15.6)" write, run in the current directory.
!   cases.txt:  count, then per case "n" and n starting values (Z16, the bits); the
!               case's point file is c<i>.in, read one value per READ as the programs do.
!   cases.out:  per case "OK" and the n values read (Z16), or "ERR".
!   values.txt: count, then one value per line (Z16); values.out: each in (E15.6).
program reference
  implicit none
  integer :: ncase, nvalue, i, j, n, ios
  double precision :: x(8)
  character(len=32) :: name

  open(10, file='cases.txt', status='old')
  open(11, file='cases.out', status='replace')
  read(10, *) ncase
  do i = 1, ncase
    read(10, '(I2,8(1X,Z16))') n, (x(j), j = 1, n)
    write(name, '(A,I0,A)') 'c', i, '.in'
    open(2, file=trim(name), status='old', iostat=ios)
    if (ios == 0) then
      do j = 1, n
        read(2, *, iostat=ios) x(j)
        if (ios /= 0) exit
      end do
      close(2)
    end if
    if (ios /= 0) then
      write(11, '(A)') 'ERR'
    else
      write(11, '(A,8(1X,Z16.16))') 'OK', (x(j), j = 1, n)
    end if
  end do
  close(11)
  close(10)

  open(10, file='values.txt', status='old')
  open(11, file='values.out', status='replace')
  read(10, *) nvalue
  do i = 1, nvalue
    read(10, '(Z16)') x(1)
    write(11, '(E15.6)') x(1)
  end do
  close(11)
  close(10)
end program reference
