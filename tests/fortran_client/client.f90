! An optimiser's view of kinkbench from Fortran: every routine called by name, the data
! areas read through COMMON, results compared with known values.
program client
  implicit none
  integer :: n, m, iprob, itype, ierr, k, nfail
  double precision :: x(48), fmin, stepmax, fk, f, gk(48), hk(1176)
  double precision :: e06(123), e19(2700)
  common /empr06/ e06
  common /empr19/ e19

  nfail = 0

  ! Minimax problem 1 at its start (2, 2).
  n = 2
  m = 3
  iprob = 1
  call tiud06(n, m, x, fmin, stepmax, iprob, itype, ierr)
  call expect('tiud06 problem 1: ierr', dble(ierr), 0d0)
  call expect('tiud06 problem 1: m', dble(m), 3d0)
  call expect('tiud06 problem 1: x(2)', x(2), 2d0)
  k = 1
  call tafu06(n, k, x, fk, iprob)
  call expect('tafu06 problem 1, k = 1', fk, 20d0)
  call tagu06(n, k, x, gk, iprob)
  call expect('tagu06 problem 1, k = 1: g(2)', gk(2), 32d0)
  call tahd06(n, k, x, hk, iprob)
  call expect('tahd06 problem 1, k = 1: h(3)', hk(3), 48d0)

  ! Minimax problem 12: its t_k in the COMMON block, formed as (k - 1)/20 - 0.5.
  n = 4
  m = 21
  iprob = 12
  call tiud06(n, m, x, fmin, stepmax, iprob, itype, ierr)
  call expect('tiud06 problem 12: itype', dble(itype), 0d0)
  call expect('COMMON /EMPR06/ t_8', e06(8), 7d0/20d0 - 0.5d0)
  call expect('COMMON /EMPR06/ t_12', e06(12), 11d0/20d0 - 0.5d0)
  call expect('COMMON /EMPR06/ y_1', e06(22), 2d0)
  k = 11
  call tafu06(n, k, x, fk, iprob)
  call expect('tafu06 problem 12, k = 11 at the start', fk, 1d0)

  ! Nonsmooth problem 21 at its start: the distance table arrives through COMMON.
  n = 48
  iprob = 21
  call tiud19(n, x, fmin, stepmax, iprob, ierr)
  call expect('tiud19 problem 21: ierr', dble(ierr), 0d0)
  call expect('COMMON /EMPR19/ D(1,1)', e19(1), 1d5)
  call expect('COMMON /EMPR19/ D(2,1)', e19(2), 273d0)
  call expect('COMMON /EMPR19/ D(1,2)', e19(49), 273d0)
  call tffu19(n, x, f, iprob)
  call expect('tffu19 problem 21 at the start', f, -464816d0)

  ! Nonsmooth problem 1 at (1, 1): gradient 0, Hessian (802, -400, 200).
  n = 2
  iprob = 1
  x(1) = 1d0
  x(2) = 1d0
  call tfgu19(n, x, gk, iprob)
  call expect('tfgu19 problem 1: g(1)', gk(1), 0d0)
  call tfhd19(n, x, hk, iprob)
  call expect('tfhd19 problem 1: h(1)', hk(1), 802d0)
  call expect('tfhd19 problem 1: h(2)', hk(2), -400d0)

  if (nfail > 0) then
    print '(I0, A)', nfail, ' check(s) failed'
    stop 1
  end if
  print '(A)', 'all Fortran client checks passed'

contains

  subroutine expect(what, got, want)
    character(len=*), intent(in) :: what
    double precision, intent(in) :: got, want
    if (got == want) then
      print '(A, A, ES24.16)', 'ok      ', what, got
    else
      print '(A, A, ES24.16, A, ES24.16)', 'FAILED  ', what, got, ' expected ', want
      nfail = nfail + 1
    end if
  end subroutine expect

end program client
